#include "viewmodel/account/MigrationOverviewWorkflow.h"

#include "viewmodel/account/AccountSession.h"
#include "viewmodel/context/ViewModelContext.h"

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
            m_context.accountState().setBackendStatusMessage(
                BilingualText("请先登录后再查看多设备迁移总览。",
                              "Sign in before viewing the multi-device migration overview."));
        co_return;
    }
    const auto busy = &AccountState::setIsRefreshingMigrationOverview;
    const FlowTicket ticket = m_session.beginFlow(busy, userInitiated);
    auto work = loadOverview(ticket, userInitiated);
    auto flow =
        m_session.finishFlow(std::move(work), ticket, busy, AccountSession::FailureReport::currentSession,
                             {QStringLiteral("刷新多设备迁移总览失败。"),
                              QStringLiteral("Failed to refresh the multi-device migration overview.")},
                             userInitiated);
    co_await std::move(flow);
}

QCoro::Task<> MigrationOverviewWorkflow::loadOverview(FlowTicket ticket, bool userInitiated)
{
    auto validation = m_session.validSessionFor(ticket);
    const std::optional<BackendSession> session = co_await std::move(validation);
    if (!session)
        co_return;
    const QString fingerprint = m_session.publishDeviceFingerprint();
    // Held by this frame: a reply may resume it after the state object is gone.
    const auto service = m_context.services().backendMigrationSyncService;
    auto fetch = service->fetchOverview(m_context.browsing().config().backendBaseURL, session->accessToken,
                                        fingerprint);
    const BackendMigrationOverview overview = co_await std::move(fetch);
    if (!ticket.isCurrent())
        co_return;
    m_context.accountState().setMigrationAccountOverview(overview);
    if (userInitiated)
        m_context.accountState().setBackendStatusMessage(
            BilingualText("多设备迁移总览已刷新。", "Multi-device migration overview refreshed."));
}

} // namespace orvalink
