#include "viewmodel/MigrationOverviewWorkflow.h"

#include "viewmodel/AccountSession.h"
#include "viewmodel/MainViewModel.h"

namespace orvalink {

MigrationOverviewWorkflow::MigrationOverviewWorkflow(MainViewModel& viewModel, AccountSession& session)
    : m_viewModel(viewModel), m_session(session)
{}

QCoro::Task<> MigrationOverviewWorkflow::refreshMigrationOverview(bool userInitiated)
{
    if (m_viewModel.isRefreshingMigrationOverview())
        co_return;
    if (!m_viewModel.backendSession()) {
        m_viewModel.setCurrentMigrationDeviceFingerprint(std::nullopt);
        m_viewModel.setMigrationAccountOverview(std::nullopt);
        if (userInitiated)
            m_viewModel.setBackendStatusMessage(m_viewModel.localized(
                QStringLiteral("请先登录后再查看多设备迁移总览。"),
                QStringLiteral("Sign in before viewing the multi-device migration overview.")));
        co_return;
    }
    m_viewModel.setIsRefreshingMigrationOverview(true);
    m_session.clearMessagesIfUserInitiated(userInitiated);
    const SessionTicket ticket = m_session.ticket();

    std::exception_ptr failure;
    try {
        auto validation = m_session.validSessionFor(ticket);
        const BackendSession session = co_await std::move(validation);
        const QString fingerprint = m_session.publishDeviceFingerprint();
        auto fetch = m_viewModel.parts().backendMigrationSyncService->fetchOverview(
            m_viewModel.config().backendBaseURL, session.accessToken, fingerprint);
        const BackendMigrationOverview overview = co_await std::move(fetch);
        ticket.ensureCurrent();
        m_viewModel.setMigrationAccountOverview(overview);
        if (userInitiated)
            m_viewModel.setBackendStatusMessage(
                m_viewModel.localized(QStringLiteral("多设备迁移总览已刷新。"),
                                      QStringLiteral("Multi-device migration overview refreshed.")));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!ticket.isAlive())
        co_return;
    if (failure && ticket.isCurrent())
        m_session.reportFailure(
            failure,
            m_viewModel.localized(QStringLiteral("刷新多设备迁移总览失败。"),
                                  QStringLiteral("Failed to refresh the multi-device migration overview.")),
            userInitiated);
    m_viewModel.setIsRefreshingMigrationOverview(false);
}

} // namespace orvalink
