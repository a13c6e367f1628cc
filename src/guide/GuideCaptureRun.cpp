#include "guide/GuideCaptureRun.h"

#include "guide/AutomationSignIn.h"
#include "guide/GuideEnvironment.h"
#include "guide/GuideMarkers.h"
#include "ui/views/common/SheetRegistry.h"
#include "ui/views/dashboard/MainDashboardView.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/disk/DiskWorkflows.h"

#include <QCoro/QCoroTimer>
#include <QPointer>
#include <chrono>

namespace orvalink::guide {
namespace {

// Per window, like the rest of the window's view state.
constexpr const char* kCaptureStartedProperty = "orvalinkGuideCaptureStarted";

std::optional<QString> valueWithFallback(const char* name, const char* fallbackName)
{
    if (std::optional<QString> value = guideEnvironmentValue(name))
        return value;
    return guideEnvironmentValue(fallbackName);
}

} // namespace

QCoro::Task<> runGuideCaptureIfNeeded(ui::MainDashboardView& view)
{
    QPointer<ui::MainDashboardView> window(&view);
    if (window->property(kCaptureStartedProperty).toBool() ||
        !environmentSwitchIsOn("ORVALINK_GUIDE_CAPTURE"))
        co_return;
    window->setProperty(kCaptureStartedProperty, true);

    const std::optional<QString> email = valueWithFallback("ORVALINK_GUIDE_EMAIL", "ORVALINK_UI_SMOKE_EMAIL");
    const std::optional<QString> password =
        valueWithFallback("ORVALINK_GUIDE_PASSWORD", "ORVALINK_UI_SMOKE_PASSWORD");
    const QString nickName = valueWithFallback("ORVALINK_GUIDE_NICKNAME", "ORVALINK_UI_SMOKE_NICKNAME")
                                 .value_or(QStringLiteral("Guide Capture"));
    const bool registerFirst = guideEnvironmentFlag("ORVALINK_GUIDE_REGISTER", uiSmokeRegistrationOn());
    if (email && password) {
        // A named value, not a temporary inside the co_await expression: GCC 12 destroys such
        // temporaries twice.
        const AutomationCredentials credentials{*email, *password, nickName, registerFirst};
        if (!co_await signInForAutomation(window, credentials))
            co_return;
        co_await QCoro::sleepFor(std::chrono::milliseconds(900));
        if (!window)
            co_return;
    }

    ui::DashboardViewState& state = window->viewState();
    state.setShowProgressPanel(guideEnvironmentFlag("ORVALINK_GUIDE_SHOW_PROGRESS", false));
    state.setShowMigratedItemsPanel(guideEnvironmentFlag("ORVALINK_GUIDE_SHOW_MIGRATED_ITEMS", false));
    state.setShowStorageOverviewExpanded(guideEnvironmentFlag("ORVALINK_GUIDE_SHOW_STORAGE_OVERVIEW", true));
    if (guideEnvironmentFlag("ORVALINK_GUIDE_SELECT_ALL_MIGRATED", false))
        window->viewModel().workflows().selectAllMigratedMappings();
    if (const std::optional<QString> sheetName = guideEnvironmentValue("ORVALINK_GUIDE_SHEET")) {
        if (const std::optional<ui::QuickSheet> sheet = ui::quickSheetFromRawValue(sheetName->toLower()))
            state.setActiveSheet(sheet);
    }
    writeMarker(stdout, QStringLiteral("[guide-capture] ready"));
}

} // namespace orvalink::guide
