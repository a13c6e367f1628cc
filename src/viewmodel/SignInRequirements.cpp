#include "viewmodel/SignInRequirements.h"

#include "viewmodel/AccountSession.h"
#include "viewmodel/MainViewModel.h"

namespace orvalink {

SignInRequirements::SignInRequirements(MainViewModel& viewModel, AccountSession& session)
    : m_viewModel(viewModel), m_session(session)
{}

QCoro::Task<> SignInRequirements::refreshAuthRequirements(bool userInitiated)
{
    if (m_viewModel.isRefreshingAuthRequirements())
        co_return;
    m_viewModel.setIsRefreshingAuthRequirements(true);
    m_session.clearMessagesIfUserInitiated(userInitiated);
    const SessionTicket ticket = m_session.ticket();

    std::exception_ptr failure;
    try {
        BackendAuthService& auth = *m_viewModel.parts().backendAuthService;
        auto fetchSettings = auth.fetchAuthSettings(m_viewModel.config().backendBaseURL, kSiteKey);
        const BackendAuthSettings settings = co_await std::move(fetchSettings);
        if (!ticket.isAlive())
            throw SessionEnded();
        m_viewModel.setAuthSettings(settings);
        if (settings.captchaEnabled) {
            // The settings name the site the challenge belongs to, which may differ from ours.
            auto fetchChallenge =
                auth.fetchCaptchaChallenge(m_viewModel.config().backendBaseURL, settings.siteKey);
            const BackendCaptchaChallenge challenge = co_await std::move(fetchChallenge);
            if (!ticket.isAlive())
                throw SessionEnded();
            m_viewModel.setAuthCaptchaChallenge(challenge);
            if (userInitiated)
                m_viewModel.setBackendStatusMessage(m_viewModel.localized(
                    QStringLiteral("验证码已开启，登录与注册都需要输入验证码。"),
                    QStringLiteral("Captcha is enabled. Sign-in and sign-up now require the code.")));
        } else {
            m_viewModel.setAuthCaptchaChallenge(std::nullopt);
            if (userInitiated)
                m_viewModel.setBackendStatusMessage(
                    m_viewModel.localized(QStringLiteral("验证码当前处于关闭状态。"),
                                          QStringLiteral("Captcha is currently disabled.")));
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (!ticket.isAlive())
        co_return;
    if (failure)
        m_session.handleBackendError(
            failure,
            m_viewModel.localized(QStringLiteral("获取登录安全配置失败。"),
                                  QStringLiteral("Failed to load auth security settings.")),
            userInitiated);
    m_viewModel.setIsRefreshingAuthRequirements(false);
}

QCoro::Task<> SignInRequirements::refreshAuthCaptcha(bool userInitiated)
{
    if (m_viewModel.isRefreshingAuthCaptcha())
        co_return;
    if (const auto& settings = m_viewModel.authSettings(); !settings || !settings->captchaEnabled) {
        m_viewModel.setAuthCaptchaChallenge(std::nullopt);
        if (userInitiated)
            m_viewModel.setBackendStatusMessage(m_viewModel.localized(
                QStringLiteral("验证码当前已关闭。"), QStringLiteral("Captcha is currently disabled.")));
        co_return;
    }
    m_viewModel.setIsRefreshingAuthCaptcha(true);
    m_session.clearMessagesIfUserInitiated(userInitiated);
    const SessionTicket ticket = m_session.ticket();

    std::exception_ptr failure;
    try {
        const std::optional<BackendAuthSettings>& settings = m_viewModel.authSettings();
        const QString siteKey = settings ? settings->siteKey : kSiteKey;
        auto fetch = m_viewModel.parts().backendAuthService->fetchCaptchaChallenge(
            m_viewModel.config().backendBaseURL, siteKey);
        const BackendCaptchaChallenge challenge = co_await std::move(fetch);
        if (!ticket.isAlive())
            throw SessionEnded();
        m_viewModel.setAuthCaptchaChallenge(challenge.enabled ? std::optional(challenge) : std::nullopt);
        if (userInitiated)
            m_viewModel.setBackendStatusMessage(m_viewModel.localized(QStringLiteral("验证码已刷新。"),
                                                                      QStringLiteral("Captcha refreshed.")));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!ticket.isAlive())
        co_return;
    if (failure)
        m_session.handleBackendError(failure,
                                     m_viewModel.localized(QStringLiteral("刷新验证码失败。"),
                                                           QStringLiteral("Failed to refresh the captcha.")),
                                     userInitiated);
    m_viewModel.setIsRefreshingAuthCaptcha(false);
}

} // namespace orvalink
