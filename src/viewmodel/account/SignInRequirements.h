#pragma once

#include "viewmodel/flow/FlowTicket.h"

#include <QCoro/QCoroTask>
#include <QString>

namespace orvalink {

class AccountSession;
class ViewModelContext;

// Whether sign-in and sign-up need a captcha, and the challenge to show. Each flow has its own busy
// flag (`isRefreshingAuthRequirements`, `isRefreshingAuthCaptcha`) and ignores a start while it is
// set. A user-started run clears the texts first and reports its outcome; a quiet one reports only
// failures. Neither ever ends a session. Never throws.
class SignInRequirements {
public:
    // The site whose settings are asked for, and the fallback site of a captcha.
    static inline const QString kSiteKey = QStringLiteral("orvalink");

    SignInRequirements(ViewModelContext& context, AccountSession& session);

    // Loads the settings and, when the captcha is on, a first challenge for the site the settings
    // name. When the challenge fails, the new settings stay and the old challenge too.
    QCoro::Task<> refreshAuthRequirements(bool userInitiated);
    // Replaces the challenge; without settings, or with the captcha off, only clears it.
    QCoro::Task<> refreshAuthCaptcha(bool userInitiated);

private:
    // Loads and publishes a new challenge. Throws the failure.
    QCoro::Task<> loadCaptcha(FlowTicket ticket, bool userInitiated);
    // Loads and publishes the settings and, when the captcha is on, a challenge. Throws the failure.
    QCoro::Task<> loadRequirements(FlowTicket ticket, bool userInitiated);
    ViewModelContext& m_context;
    AccountSession& m_session;
};

} // namespace orvalink
