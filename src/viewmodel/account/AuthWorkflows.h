#pragma once

#include "backend/BackendSession.h"
#include "viewmodel/flow/FlowTicket.h"
#include "viewmodel/state/BilingualText.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <exception>
#include <functional>
#include <optional>

namespace orvalink {

class AccountSession;
class CloudSyncWorkflow;
class FeedbackWorkflow;
class MigrationOverviewWorkflow;
class SignInRequirements;
class ViewModelContext;

// Sign-in, sign-up, sign-out and the password change of the account. The first three share
// `isSubmittingAuth`, the password change has `isChangingPassword`; a start while the flag is set
// is ignored. Every flow reports through the published texts and never throws.
class AuthWorkflows {
public:
    AuthWorkflows(ViewModelContext& context, AccountSession& session, SignInRequirements& requirements,
                  FeedbackWorkflow& feedback, MigrationOverviewWorkflow& overview,
                  CloudSyncWorkflow& cloudSync);

    // Signs in; on success the account's history is activated and, still busy, this device's cloud
    // snapshot is restored when the history is empty, then the overview and the feedback dashboard
    // are loaded. A failure never counts as a lost session; with a captcha in force a fresh
    // challenge replaces the used one.
    QCoro::Task<> signIn(QString email, QString password, std::optional<QString> captchaId,
                         std::optional<QString> captchaCode);
    // Registers, then signs in with the same values (the captcha is sent twice).
    QCoro::Task<> registerAndSignIn(QString email, QString password, QString nickName,
                                    std::optional<QString> captchaId, std::optional<QString> captchaCode);
    // Revokes the session at the service, then ends it locally whatever the service said.
    QCoro::Task<> signOutFromBackend();
    // Changes the password, then ends the session locally (keeping the feedback dashboard) so the
    // user signs in with the new one.
    QCoro::Task<> changeBackendPassword(QString currentPassword, QString newPassword);
    // The new password and its confirmation differ: the error alert says so, nothing is sent.
    void reportMismatchedNewPasswords();

    // The quiet refreshes after a session is established, one after the other: the cloud restore,
    // the overview, the feedback dashboard.
    QCoro::Task<> runSessionFollowUps();

private:
    // Opens a session at the service; an empty result means the flow went stale on the way.
    using SessionRequest = std::function<QCoro::Task<std::optional<BackendSession>>(FlowTicket)>;

    // One sign-in or registration: ignored while another is submitted; the session `request` opens
    // is established with `succeeded` as its message, or its failure reported with `failed`.
    QCoro::Task<> submit(SessionRequest request, BilingualText failed, BilingualText succeeded);
    // Validates the session, changes the password and ends the session locally. Throws the failure.
    QCoro::Task<> changePassword(FlowTicket ticket, QString currentPassword, QString newPassword);
    QCoro::Task<> establishSession(BackendSession session, BilingualText success);
    QCoro::Task<> reportAuthFailure(std::exception_ptr error, BilingualText fallback);

    ViewModelContext& m_context;
    AccountSession& m_session;
    SignInRequirements& m_requirements;
    FeedbackWorkflow& m_feedback;
    MigrationOverviewWorkflow& m_overview;
    CloudSyncWorkflow& m_cloudSync;
};

} // namespace orvalink
