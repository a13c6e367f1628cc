#include "viewmodel/account/AuthWorkflows.h"

#include "viewmodel/account/AccountFailureText.h"
#include "viewmodel/account/AccountSession.h"
#include "viewmodel/account/CloudSyncWorkflow.h"
#include "viewmodel/account/FeedbackWorkflow.h"
#include "viewmodel/account/MigrationOverviewWorkflow.h"
#include "viewmodel/account/SignInRequirements.h"
#include "viewmodel/context/ViewModelContext.h"

namespace orvalink {

AuthWorkflows::AuthWorkflows(ViewModelContext& context, AccountSession& session,
                             SignInRequirements& requirements, FeedbackWorkflow& feedback,
                             MigrationOverviewWorkflow& overview, CloudSyncWorkflow& cloudSync)
    : m_context(context), m_session(session), m_requirements(requirements), m_feedback(feedback),
      m_overview(overview), m_cloudSync(cloudSync)
{}

QCoro::Task<> AuthWorkflows::signIn(QString email, QString password, std::optional<QString> captchaId,
                                    std::optional<QString> captchaCode)
{
    auto submission = submit(
        [&](FlowTicket) -> QCoro::Task<std::optional<BackendSession>> {
            // Held by this frame: a reply may resume it after the state object is gone.
            const auto service = m_context.services().backendAuthService;
            auto login = service->login(m_context.browsing().config().backendBaseURL, email, password,
                                        captchaId, captchaCode);
            co_return co_await std::move(login);
        },
        {QStringLiteral("登录失败。"), QStringLiteral("Sign in failed.")},
        {QStringLiteral("登录成功。"), QStringLiteral("Signed in successfully.")});
    co_await std::move(submission);
}

QCoro::Task<> AuthWorkflows::registerAndSignIn(QString email, QString password, QString nickName,
                                               std::optional<QString> captchaId,
                                               std::optional<QString> captchaCode)
{
    auto submission = submit(
        [&](FlowTicket ticket) -> QCoro::Task<std::optional<BackendSession>> {
            // Held by this frame: a reply may resume it after the state object is gone.
            const std::shared_ptr<BackendAuthService> auth = m_context.services().backendAuthService;
            auto registration = auth->registerAccount(m_context.browsing().config().backendBaseURL, email,
                                                      password, nickName, captchaId, captchaCode);
            co_await std::move(registration);
            if (!ticket.isAlive())
                co_return std::nullopt;
            // The settings may have changed while the account was being created.
            auto login = auth->login(m_context.browsing().config().backendBaseURL, email, password, captchaId,
                                     captchaCode);
            co_return co_await std::move(login);
        },
        {QStringLiteral("注册失败。"), QStringLiteral("Registration failed.")},
        {QStringLiteral("注册并登录成功。"), QStringLiteral("Account created and signed in.")});
    co_await std::move(submission);
}

QCoro::Task<> AuthWorkflows::submit(SessionRequest request, BilingualText failed, BilingualText succeeded)
{
    if (m_context.accountState().isSubmittingAuth())
        co_return;
    m_context.accountState().setIsSubmittingAuth(true);
    m_context.activity().setErrorMessage(std::nullopt);
    m_context.accountState().setBackendStatusMessage(std::nullopt);
    const FlowTicket ticket = m_session.ticket();

    std::optional<BackendSession> session;
    std::exception_ptr failure;
    try {
        auto opening = request(ticket);
        session = co_await std::move(opening);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!ticket.isAlive())
        co_return;
    if (failure) {
        auto report = reportAuthFailure(failure, failed);
        co_await std::move(report);
        co_return;
    }
    if (!session) {
        // Only a stale flow opens no session, and its ticket has ended it above; should a request
        // ever answer nothing otherwise, the form must not stay busy.
        m_context.accountState().setIsSubmittingAuth(false);
        co_return;
    }
    auto establish = establishSession(*session, succeeded);
    co_await std::move(establish);
}

QCoro::Task<> AuthWorkflows::establishSession(BackendSession session, BilingualText success)
{
    m_session.beginSession(session);
    m_context.accountState().setBackendStatusMessage(success);
    const FlowTicket ticket = m_session.ticket();
    auto followUps = runSessionFollowUps();
    co_await std::move(followUps);
    if (!ticket.isAlive())
        co_return;
    m_context.accountState().setIsSubmittingAuth(false);
}

QCoro::Task<> AuthWorkflows::reportAuthFailure(std::exception_ptr error, BilingualText fallback)
{
    const FlowTicket ticket = m_session.ticket();
    if (const auto& settings = m_context.accountState().authSettings();
        settings && settings->captchaEnabled) {
        // The service used up the challenge that was sent; the next attempt needs a fresh one.
        auto refresh = m_requirements.refreshAuthCaptcha(false);
        co_await std::move(refresh);
        if (!ticket.isAlive())
            co_return;
    }
    m_session.handleBackendError(error, fallback, true);
    m_context.accountState().setIsSubmittingAuth(false);
}

QCoro::Task<> AuthWorkflows::runSessionFollowUps()
{
    const FlowTicket ticket = m_session.ticket();
    auto restore = m_cloudSync.restoreMigrationSnapshotFromCloudIfNeeded(false);
    co_await std::move(restore);
    if (!ticket.isAlive())
        co_return;
    auto overview = m_overview.refreshMigrationOverview(false);
    co_await std::move(overview);
    if (!ticket.isAlive())
        co_return;
    auto feedback = m_feedback.refreshFeedbackDashboard(false);
    co_await std::move(feedback);
}

QCoro::Task<> AuthWorkflows::signOutFromBackend()
{
    if (m_context.accountState().isSubmittingAuth())
        co_return;
    m_context.accountState().setIsSubmittingAuth(true);
    m_context.activity().setErrorMessage(std::nullopt);
    const FlowTicket ticket = m_session.ticket();

    std::exception_ptr failure;
    // Without a published session the service revokes the one still saved in the session file (a
    // removal that failed earlier), so no refresh token outlives the sign-out; with neither it
    // sends nothing.
    try {
        // Held by this frame: a reply may resume it after the state object is gone.
        const auto service = m_context.services().backendAuthService;
        auto logout = service->logout(m_context.browsing().config().backendBaseURL,
                                      m_context.accountState().backendSession());
        co_await std::move(logout);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!ticket.isAlive())
        co_return;
    BilingualText status;
    if (failure) {
        status = BilingualText("本地登录已清除，服务器退出失败：%1",
                               "Local session cleared, but server logout failed: %1")
                     .arg(accountFailureText(failure));
    } else {
        status = BilingualText("已退出登录。", "Signed out.");
    }
    // A session file that stays would sign the user in again at the next start: no clean sign-out.
    const std::optional<QString> fileKept = m_session.endSessionLocally(false);
    const bool keptFile = fileKept.has_value();
    if (fileKept) {
        const BilingualText kept(
            QStringLiteral("已在本窗口退出登录，但无法删除保存的登录信息：%1。下次启动时会再次登录。")
                .arg(*fileKept),
            QStringLiteral("Signed out in this window, but the saved session could not be removed: %1. You "
                           "will be signed in again at the next start.")
                .arg(*fileKept));
        status = failure ? status + QStringLiteral(" ") + kept : kept;
        m_context.activity().setErrorMessage(kept);
    }
    if (failure || keptFile)
        m_context.accountState().setBackendFailureStatus(status);
    else
        m_context.accountState().setBackendStatusMessage(status);
    m_context.accountState().setIsSubmittingAuth(false);
}

QCoro::Task<> AuthWorkflows::changeBackendPassword(QString currentPassword, QString newPassword)
{
    if (m_context.accountState().isChangingPassword())
        co_return;
    if (!m_context.accountState().backendSession()) {
        m_context.accountState().setBackendStatusMessage(
            BilingualText("请先登录后再修改密码。", "Sign in before changing the password."));
        co_return;
    }
    const auto busy = &AccountState::setIsChangingPassword;
    const FlowTicket ticket = m_session.beginFlow(busy, true);
    auto work = changePassword(ticket, std::move(currentPassword), std::move(newPassword));
    auto flow = m_session.finishFlow(
        std::move(work), ticket, busy, AccountSession::FailureReport::currentSession,
        {QStringLiteral("修改密码失败。"), QStringLiteral("Failed to change password.")}, true);
    co_await std::move(flow);
}

void AuthWorkflows::reportMismatchedNewPasswords()
{
    m_context.activity().setErrorMessage(
        BilingualText("两次输入的新密码不一致。", "The new passwords do not match."));
}

QCoro::Task<> AuthWorkflows::changePassword(FlowTicket ticket, QString currentPassword, QString newPassword)
{
    auto validation = m_session.validSessionFor(ticket);
    const std::optional<BackendSession> session = co_await std::move(validation);
    if (!session)
        co_return;
    // Held by this frame: a reply may resume it after the state object is gone.
    const auto service = m_context.services().backendAuthService;
    auto change = service->changePassword(m_context.browsing().config().backendBaseURL, session->accessToken,
                                          currentPassword, newPassword);
    co_await std::move(change);
    // A change that finished after the user left that session has nothing left to sign out.
    if (!ticket.isCurrent())
        co_return;
    m_session.endSessionLocally(true);
    m_context.accountState().setBackendStatusMessage(
        BilingualText("密码已修改，请使用新密码重新登录。",
                      "Password updated. Please sign in again with the new password."));
}

} // namespace orvalink
