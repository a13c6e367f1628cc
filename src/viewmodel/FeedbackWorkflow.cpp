#include "viewmodel/FeedbackWorkflow.h"

#include "viewmodel/AccountSession.h"
#include "viewmodel/MainViewModel.h"

namespace orvalink {

FeedbackWorkflow::FeedbackWorkflow(MainViewModel& viewModel, AccountSession& session)
    : m_viewModel(viewModel), m_session(session)
{}

QCoro::Task<> FeedbackWorkflow::refreshFeedbackDashboard(bool userInitiated)
{
    if (m_viewModel.isRefreshingFeedbackDashboard())
        co_return;
    if (!m_viewModel.backendSession()) {
        m_viewModel.setFeedbackDashboard(std::nullopt);
        if (userInitiated)
            m_viewModel.setBackendStatusMessage(
                m_viewModel.localized(QStringLiteral("请先登录后再查看反馈记录。"),
                                      QStringLiteral("Sign in before viewing feedback.")));
        co_return;
    }
    m_viewModel.setIsRefreshingFeedbackDashboard(true);
    m_session.clearMessagesIfUserInitiated(userInitiated);
    const SessionTicket ticket = m_session.ticket();

    std::exception_ptr failure;
    try {
        auto validation = m_session.validSessionFor(ticket);
        const BackendSession session = co_await std::move(validation);
        auto fetch = m_viewModel.parts().backendFeedbackService->fetchDashboard(
            m_viewModel.config().backendBaseURL, session.accessToken);
        const BackendFeedbackDashboard dashboard = co_await std::move(fetch);
        ticket.ensureCurrent();
        m_viewModel.setFeedbackDashboard(dashboard);
        if (userInitiated)
            m_viewModel.setBackendStatusMessage(m_viewModel.localized(QStringLiteral("反馈记录已刷新。"),
                                                                      QStringLiteral("Feedback refreshed.")));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!ticket.isAlive())
        co_return;
    if (failure && ticket.isCurrent())
        m_session.reportFailure(failure,
                                m_viewModel.localized(QStringLiteral("获取反馈记录失败。"),
                                                      QStringLiteral("Failed to load feedback.")),
                                userInitiated);
    m_viewModel.setIsRefreshingFeedbackDashboard(false);
}

QCoro::Task<> FeedbackWorkflow::submitFeedback(FeedbackCategory category, QString subject, QString content)
{
    if (m_viewModel.isSubmittingFeedback())
        co_return;
    const QString trimmedSubject = subject.trimmed();
    const QString trimmedContent = content.trimmed();
    if (trimmedSubject.isEmpty() || trimmedContent.isEmpty()) {
        m_viewModel.setBackendStatusMessage(
            m_viewModel.localized(QStringLiteral("请先填写标题和反馈内容。"),
                                  QStringLiteral("Enter both a subject and feedback details.")));
        co_return;
    }
    if (!m_viewModel.backendSession()) {
        m_viewModel.setBackendStatusMessage(m_viewModel.localized(
            QStringLiteral("请先登录后再提交反馈。"), QStringLiteral("Sign in before sending feedback.")));
        co_return;
    }
    m_viewModel.setIsSubmittingFeedback(true);
    m_viewModel.setErrorMessage(std::nullopt);
    m_viewModel.setBackendStatusMessage(std::nullopt);
    const SessionTicket ticket = m_session.ticket();

    std::exception_ptr failure;
    try {
        auto validation = m_session.validSessionFor(ticket);
        const BackendSession session = co_await std::move(validation);
        auto send = m_viewModel.parts().backendFeedbackService->createFeedback(
            m_viewModel.config().backendBaseURL, session.accessToken, category, trimmedSubject,
            trimmedContent);
        const BackendFeedbackDashboard dashboard = co_await std::move(send);
        ticket.ensureCurrent();
        m_viewModel.setFeedbackDashboard(dashboard);
        const QString remaining = QString::number(dashboard.remainingToday);
        m_viewModel.setBackendStatusMessage(m_viewModel.localized(
            QStringLiteral("反馈已提交，今天还可以再发 ") + remaining + QStringLiteral(" 条。"),
            QStringLiteral("Feedback sent. You can submit ") + remaining + QStringLiteral(" more today.")));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!ticket.isAlive())
        co_return;
    if (failure && ticket.isCurrent())
        m_session.reportFailure(failure,
                                m_viewModel.localized(QStringLiteral("提交反馈失败。"),
                                                      QStringLiteral("Failed to send feedback.")),
                                true);
    m_viewModel.setIsSubmittingFeedback(false);
}

} // namespace orvalink
