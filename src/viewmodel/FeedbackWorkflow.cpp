#include "viewmodel/FeedbackWorkflow.h"

#include "viewmodel/AccountSession.h"
#include "viewmodel/ViewModelContext.h"

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
                m_context.localized(QStringLiteral("请先登录后再查看反馈记录。"),
                                    QStringLiteral("Sign in before viewing feedback.")));
        co_return;
    }
    m_context.accountState().setIsRefreshingFeedbackDashboard(true);
    m_session.clearMessagesIfUserInitiated(userInitiated);
    const FlowTicket ticket = m_session.ticket();

    std::exception_ptr failure;
    try {
        auto validation = m_session.validSessionFor(ticket);
        const BackendSession session = co_await std::move(validation);
        // Held by this frame: a reply may resume it after the state object is gone.
        const auto service = m_context.parts().backendFeedbackService;
        auto fetch =
            service->fetchDashboard(m_context.browsing().config().backendBaseURL, session.accessToken);
        const BackendFeedbackDashboard dashboard = co_await std::move(fetch);
        ticket.ensureCurrent();
        m_context.accountState().setFeedbackDashboard(dashboard);
        if (userInitiated)
            m_context.accountState().setBackendStatusMessage(m_context.localized(
                QStringLiteral("反馈记录已刷新。"), QStringLiteral("Feedback refreshed.")));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!ticket.isAlive())
        co_return;
    if (failure && ticket.isCurrent())
        m_session.reportFailure(failure,
                                m_context.localized(QStringLiteral("获取反馈记录失败。"),
                                                    QStringLiteral("Failed to load feedback.")),
                                userInitiated);
    m_context.accountState().setIsRefreshingFeedbackDashboard(false);
}

QCoro::Task<> FeedbackWorkflow::submitFeedback(FeedbackCategory category, QString subject, QString content)
{
    if (m_context.accountState().isSubmittingFeedback())
        co_return;
    const QString trimmedSubject = subject.trimmed();
    const QString trimmedContent = content.trimmed();
    if (trimmedSubject.isEmpty() || trimmedContent.isEmpty()) {
        m_context.accountState().setBackendStatusMessage(
            m_context.localized(QStringLiteral("请先填写标题和反馈内容。"),
                                QStringLiteral("Enter both a subject and feedback details.")));
        co_return;
    }
    if (!m_context.accountState().backendSession()) {
        m_context.accountState().setBackendStatusMessage(m_context.localized(
            QStringLiteral("请先登录后再提交反馈。"), QStringLiteral("Sign in before sending feedback.")));
        co_return;
    }
    m_context.accountState().setIsSubmittingFeedback(true);
    m_context.activity().setErrorMessage(std::nullopt);
    m_context.accountState().setBackendStatusMessage(std::nullopt);
    const FlowTicket ticket = m_session.ticket();

    std::exception_ptr failure;
    try {
        auto validation = m_session.validSessionFor(ticket);
        const BackendSession session = co_await std::move(validation);
        // Held by this frame: a reply may resume it after the state object is gone.
        const auto service = m_context.parts().backendFeedbackService;
        auto send = service->createFeedback(m_context.browsing().config().backendBaseURL, session.accessToken,
                                            category, trimmedSubject, trimmedContent);
        const BackendFeedbackDashboard dashboard = co_await std::move(send);
        ticket.ensureCurrent();
        m_context.accountState().setFeedbackDashboard(dashboard);
        const QString remaining = QString::number(dashboard.remainingToday);
        m_context.accountState().setBackendStatusMessage(m_context.localized(
            QStringLiteral("反馈已提交，今天还可以再发 ") + remaining + QStringLiteral(" 条。"),
            QStringLiteral("Feedback sent. You can submit ") + remaining + QStringLiteral(" more today.")));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!ticket.isAlive())
        co_return;
    if (failure && ticket.isCurrent())
        m_session.reportFailure(
            failure,
            m_context.localized(QStringLiteral("提交反馈失败。"), QStringLiteral("Failed to send feedback.")),
            true);
    m_context.accountState().setIsSubmittingFeedback(false);
}

} // namespace orvalink
