#include "viewmodel/account/FeedbackWorkflow.h"

#include "viewmodel/account/AccountSession.h"
#include "viewmodel/context/ViewModelContext.h"

namespace orvalink {

FeedbackWorkflow::FeedbackWorkflow(ViewModelContext& context, AccountSession& session)
    : m_context(context), m_session(session)
{}

QCoro::Task<> FeedbackWorkflow::refreshFeedbackDashboard(bool userInitiated)
{
    if (m_context.accountState().isRefreshingFeedbackDashboard())
        co_return;
    if (!m_context.accountState().backendSession()) {
        m_context.accountState().setFeedbackDashboard(std::nullopt);
        if (userInitiated)
            m_context.accountState().setBackendStatusMessage(
                BilingualText("请先登录后再查看反馈记录。", "Sign in before viewing feedback."));
        co_return;
    }
    const auto busy = &AccountState::setIsRefreshingFeedbackDashboard;
    const FlowTicket ticket = m_session.beginFlow(busy, userInitiated);
    auto work = loadDashboard(ticket, userInitiated);
    auto flow = m_session.finishFlow(
        std::move(work), ticket, busy, AccountSession::FailureReport::currentSession,
        {QStringLiteral("获取反馈记录失败。"), QStringLiteral("Failed to load feedback.")}, userInitiated);
    co_await std::move(flow);
}

QCoro::Task<> FeedbackWorkflow::loadDashboard(FlowTicket ticket, bool userInitiated)
{
    auto validation = m_session.validSessionFor(ticket);
    const std::optional<BackendSession> session = co_await std::move(validation);
    if (!session)
        co_return;
    // Held by this frame: a reply may resume it after the state object is gone.
    const auto service = m_context.services().backendFeedbackService;
    auto fetch = service->fetchDashboard(m_context.browsing().config().backendBaseURL, session->accessToken);
    const BackendFeedbackDashboard dashboard = co_await std::move(fetch);
    if (!ticket.isCurrent())
        co_return;
    m_context.accountState().setFeedbackDashboard(dashboard);
    if (userInitiated)
        m_context.accountState().setBackendStatusMessage(
            BilingualText("反馈记录已刷新。", "Feedback refreshed."));
}

QCoro::Task<> FeedbackWorkflow::submitFeedback(FeedbackCategory category, QString subject, QString content)
{
    if (m_context.accountState().isSubmittingFeedback())
        co_return;
    const QString trimmedSubject = subject.trimmed();
    const QString trimmedContent = content.trimmed();
    if (trimmedSubject.isEmpty() || trimmedContent.isEmpty()) {
        m_context.accountState().setBackendStatusMessage(
            BilingualText("请先填写标题和反馈内容。", "Enter both a subject and feedback details."));
        co_return;
    }
    if (!m_context.accountState().backendSession()) {
        m_context.accountState().setBackendStatusMessage(
            BilingualText("请先登录后再提交反馈。", "Sign in before sending feedback."));
        co_return;
    }
    const auto busy = &AccountState::setIsSubmittingFeedback;
    const FlowTicket ticket = m_session.beginFlow(busy, true);
    auto work = sendFeedback(ticket, category, trimmedSubject, trimmedContent);
    auto flow = m_session.finishFlow(
        std::move(work), ticket, busy, AccountSession::FailureReport::currentSession,
        {QStringLiteral("提交反馈失败。"), QStringLiteral("Failed to send feedback.")}, true);
    co_await std::move(flow);
}

QCoro::Task<> FeedbackWorkflow::sendFeedback(FlowTicket ticket, FeedbackCategory category,
                                             QString trimmedSubject, QString trimmedContent)
{
    auto validation = m_session.validSessionFor(ticket);
    const std::optional<BackendSession> session = co_await std::move(validation);
    if (!session)
        co_return;
    // Held by this frame: a reply may resume it after the state object is gone.
    const auto service = m_context.services().backendFeedbackService;
    auto send = service->createFeedback(m_context.browsing().config().backendBaseURL, session->accessToken,
                                        category, trimmedSubject, trimmedContent);
    const BackendFeedbackDashboard dashboard = co_await std::move(send);
    if (!ticket.isCurrent())
        co_return;
    m_context.accountState().setFeedbackDashboard(dashboard);
    const QString remaining = QString::number(dashboard.remainingToday);
    m_context.accountState().setBackendStatusMessage(BilingualText(
        QStringLiteral("反馈已提交，今天还可以再发 ") + remaining + QStringLiteral(" 条。"),
        QStringLiteral("Feedback sent. You can submit ") + remaining + QStringLiteral(" more today.")));
}

} // namespace orvalink
