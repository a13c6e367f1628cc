#include "viewmodel/account/SignInRequirements.h"

#include "viewmodel/account/AccountSession.h"
#include "viewmodel/context/ViewModelContext.h"

namespace orvalink {

SignInRequirements::SignInRequirements(ViewModelContext& context, AccountSession& session)
    : m_context(context), m_session(session)
{}

QCoro::Task<> SignInRequirements::refreshAuthRequirements(bool userInitiated)
{
    if (m_context.accountState().isRefreshingAuthRequirements())
        co_return;
    const auto busy = &AccountState::setIsRefreshingAuthRequirements;
    const FlowTicket ticket = m_session.beginFlow(busy, userInitiated);
    auto work = loadRequirements(ticket, userInitiated);
    auto flow = m_session.finishFlow(
        std::move(work), ticket, busy, AccountSession::FailureReport::withoutSession,
        {QStringLiteral("获取登录安全配置失败。"), QStringLiteral("Failed to load auth security settings.")},
        userInitiated);
    co_await std::move(flow);
}

QCoro::Task<> SignInRequirements::loadRequirements(FlowTicket ticket, bool userInitiated)
{
    // Held by this frame: a reply may resume it after the state object is gone.
    const std::shared_ptr<BackendAuthService> auth = m_context.services().backendAuthService;
    auto fetchSettings = auth->fetchAuthSettings(m_context.browsing().config().backendBaseURL, kSiteKey);
    const BackendAuthSettings settings = co_await std::move(fetchSettings);
    if (!ticket.isAlive())
        co_return;
    m_context.accountState().setAuthSettings(settings);
    if (settings.captchaEnabled) {
        // The settings name the site the challenge belongs to, which may differ from ours.
        auto fetchChallenge =
            auth->fetchCaptchaChallenge(m_context.browsing().config().backendBaseURL, settings.siteKey);
        const BackendCaptchaChallenge challenge = co_await std::move(fetchChallenge);
        if (!ticket.isAlive())
            co_return;
        m_context.accountState().setAuthCaptchaChallenge(challenge);
        if (userInitiated)
            m_context.accountState().setBackendStatusMessage(
                BilingualText("验证码已开启，登录与注册都需要输入验证码。",
                              "Captcha is enabled. Sign-in and sign-up now require the code."));
    } else {
        m_context.accountState().setAuthCaptchaChallenge(std::nullopt);
        if (userInitiated)
            m_context.accountState().setBackendStatusMessage(
                BilingualText("验证码当前处于关闭状态。", "Captcha is currently disabled."));
    }
}

QCoro::Task<> SignInRequirements::refreshAuthCaptcha(bool userInitiated)
{
    if (m_context.accountState().isRefreshingAuthCaptcha())
        co_return;
    if (const auto& settings = m_context.accountState().authSettings();
        !settings || !settings->captchaEnabled) {
        m_context.accountState().setAuthCaptchaChallenge(std::nullopt);
        if (userInitiated)
            m_context.accountState().setBackendStatusMessage(
                BilingualText("验证码当前已关闭。", "Captcha is currently disabled."));
        co_return;
    }
    const auto busy = &AccountState::setIsRefreshingAuthCaptcha;
    const FlowTicket ticket = m_session.beginFlow(busy, userInitiated);
    auto work = loadCaptcha(ticket, userInitiated);
    auto flow = m_session.finishFlow(
        std::move(work), ticket, busy, AccountSession::FailureReport::withoutSession,
        {QStringLiteral("刷新验证码失败。"), QStringLiteral("Failed to refresh the captcha.")},
        userInitiated);
    co_await std::move(flow);
}

QCoro::Task<> SignInRequirements::loadCaptcha(FlowTicket ticket, bool userInitiated)
{
    const std::optional<BackendAuthSettings>& settings = m_context.accountState().authSettings();
    const QString siteKey = settings ? settings->siteKey : kSiteKey;
    // Held by this frame: a reply may resume it after the state object is gone.
    const auto service = m_context.services().backendAuthService;
    auto fetch = service->fetchCaptchaChallenge(m_context.browsing().config().backendBaseURL, siteKey);
    const BackendCaptchaChallenge challenge = co_await std::move(fetch);
    if (!ticket.isAlive())
        co_return;
    m_context.accountState().setAuthCaptchaChallenge(challenge.enabled ? std::optional(challenge)
                                                                       : std::nullopt);
    if (userInitiated)
        m_context.accountState().setBackendStatusMessage(
            BilingualText("验证码已刷新。", "Captcha refreshed."));
}

} // namespace orvalink
