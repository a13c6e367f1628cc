#include "guide/AutomationSignIn.h"

#include "guide/GuideEnvironment.h"
#include "ui/views/dashboard/MainDashboardView.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/account/AccountWorkflows.h"
#include "viewmodel/account/AuthWorkflows.h"

namespace orvalink::guide {

bool uiSmokeRegistrationOn()
{
    return guideEnvironmentValue("ORVALINK_UI_SMOKE_REGISTER") != QStringLiteral("0");
}

QCoro::Task<bool> signInForAutomation(QPointer<ui::MainDashboardView> window,
                                      AutomationCredentials credentials)
{
    if (!window)
        co_return false;
    if (credentials.registerFirst) {
        co_await window->viewModel().account().auth().registerAndSignIn(
            credentials.email, credentials.password, credentials.nickName, std::nullopt, std::nullopt);
        if (!window)
            co_return false;
    }
    if (!window->viewModel().accountState().backendSession()) {
        co_await window->viewModel().account().auth().signIn(credentials.email, credentials.password,
                                                             std::nullopt, std::nullopt);
        if (!window)
            co_return false;
    }
    co_return true;
}

} // namespace orvalink::guide
