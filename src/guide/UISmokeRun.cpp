#include "guide/UISmokeRun.h"

#include "guide/AutomationSignIn.h"
#include "guide/GuideEnvironment.h"
#include "guide/GuideMarkers.h"
#include "ui/views/common/SheetRegistry.h"
#include "ui/views/dashboard/MainDashboardView.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/account/AccountTexts.h"
#include "viewmodel/account/AccountWorkflows.h"

#include <QCoreApplication>
#include <QCoro/QCoroTimer>
#include <QPointer>
#include <chrono>

namespace orvalink::guide {
namespace {

constexpr const char* kSmokeStartedProperty = "orvalinkUISmokeStarted";

// Opens `sheet`, keeps it up for a second, closes it. False when the window went away.
QCoro::Task<bool> presentUISmokeSheet(QPointer<ui::MainDashboardView> window, ui::QuickSheet sheet)
{
    window->viewState().setActiveSheet(sheet);
    writeMarker(stdout, QStringLiteral("[ui-smoke] opened ") + ui::rawValue(sheet));
    co_await QCoro::sleepFor(std::chrono::seconds(1));
    if (!window)
        co_return false;
    window->viewState().setActiveSheet(std::nullopt);
    co_await QCoro::sleepFor(std::chrono::milliseconds(250));
    co_return !window.isNull();
}

} // namespace

QCoro::Task<> runUISmokeIfNeeded(ui::MainDashboardView& view)
{
    QPointer<ui::MainDashboardView> window(&view);
    if (window->property(kSmokeStartedProperty).toBool() || !environmentSwitchIsOn("ORVALINK_UI_SMOKE"))
        co_return;
    window->setProperty(kSmokeStartedProperty, true);
    writeMarker(stdout, QStringLiteral("[ui-smoke] bootstrap complete"));

    const std::optional<QString> email = guideEnvironmentValue("ORVALINK_UI_SMOKE_EMAIL");
    const std::optional<QString> password = guideEnvironmentValue("ORVALINK_UI_SMOKE_PASSWORD");
    const QString nickName =
        guideEnvironmentValue("ORVALINK_UI_SMOKE_NICKNAME").value_or(QStringLiteral("UI Smoke"));
    if (email && password) {
        // A named value, not a temporary inside the co_await expression: GCC 12 destroys such
        // temporaries twice.
        const AutomationCredentials credentials{*email, *password, nickName, uiSmokeRegistrationOn()};
        if (!co_await signInForAutomation(window, credentials))
            co_return;
        MainViewModel& model = window->viewModel();
        if (!model.accountState().backendSession())
            failProcess(QStringLiteral("[ui-smoke] failed: authentication failed"));
        if (!model.account().texts().backendAccountBadgeText())
            failProcess(QStringLiteral("[ui-smoke] failed: account badge did not appear"));
        writeMarker(stdout, QStringLiteral("[ui-smoke] account badge ready"));
    }

    for (const ui::SheetEntry& sheet : ui::sheetRegistry()) {
        if (!co_await presentUISmokeSheet(window, sheet.kind))
            co_return;
    }
    writeMarker(stdout, QStringLiteral("[ui-smoke] passed"));
    co_await QCoro::sleepFor(std::chrono::milliseconds(300));
    QCoreApplication::quit();
}

} // namespace orvalink::guide
