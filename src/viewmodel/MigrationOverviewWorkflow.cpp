#include "viewmodel/MigrationOverviewWorkflow.h"

#include "viewmodel/AccountSession.h"
#include "viewmodel/ViewModelContext.h"

namespace orvalink {

MigrationOverviewWorkflow::MigrationOverviewWorkflow(ViewModelContext& context, AccountSession& session)
    : m_context(context), m_session(session)
{}

QCoro::Task<> MigrationOverviewWorkflow::refreshMigrationOverview(bool userInitiated)
{
    if (m_context.accountState().isRefreshingMigrationOverview())
        co_return;
    if (!m_context.accountState().backendSession()) {
        m_context.accountState().setCurrentMigrationDeviceFingerprint(std::nullopt);
        m_context.accountState().setMigrationAccountOverview(std::nullopt);
        if (userInitiated)
            m_context.accountState().setBackendStatusMessage(m_context.localized(
                QStringLiteral("请先登录后再查看多设备迁移总览。"),
                QStringLiteral("Sign in before viewing the multi-device migration overview.")));
        co_return;
    }
    m_context.accountState().setIsRefreshingMigrationOverview(true);
    m_session.clearMessagesIfUserInitiated(userInitiated);
    const FlowTicket ticket = m_session.ticket();

    std::exception_ptr failure;
    try {
        auto validation = m_session.validSessionFor(ticket);
        const BackendSession session = co_await std::move(validation);
        const QString fingerprint = m_session.publishDeviceFingerprint();
        // Held by this frame: a reply may resume it after the state object is gone.
        const auto service = m_context.parts().backendMigrationSyncService;
        auto fetch = service->fetchOverview(m_context.browsing().config().backendBaseURL, session.accessToken,
                                            fingerprint);
        const BackendMigrationOverview overview = co_await std::move(fetch);
        ticket.ensureCurrent();
        m_context.accountState().setMigrationAccountOverview(overview);
        if (userInitiated)
            m_context.accountState().setBackendStatusMessage(
                m_context.localized(QStringLiteral("多设备迁移总览已刷新。"),
                                    QStringLiteral("Multi-device migration overview refreshed.")));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!ticket.isAlive())
        co_return;
    if (failure && ticket.isCurrent())
        m_session.reportFailure(
            failure,
            m_context.localized(QStringLiteral("刷新多设备迁移总览失败。"),
                                QStringLiteral("Failed to refresh the multi-device migration overview.")),
            userInitiated);
    m_context.accountState().setIsRefreshingMigrationOverview(false);
}

} // namespace orvalink
