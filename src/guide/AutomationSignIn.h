#pragma once

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QString>

namespace orvalink::ui {
class MainDashboardView;
}

namespace orvalink::guide {

// The account an automation run signs in with.
struct AutomationCredentials {
    QString email;
    QString password;
    QString nickName;
    bool registerFirst = true;
};

// The UI-smoke registration switch: on unless ORVALINK_UI_SMOKE_REGISTER is "0" after trimming.
bool uiSmokeRegistrationOn();

// Registers first when asked (and signs in with the same values), then signs in when no session
// exists yet: a failed registration, for an account that exists already, is followed by a plain
// sign-in. No captcha is sent. Failures show through the state object's own messages; the caller
// judges by the session. Returns false when the window went away meanwhile.
QCoro::Task<bool> signInForAutomation(QPointer<ui::MainDashboardView> window,
                                      AutomationCredentials credentials);

} // namespace orvalink::guide
