#include "viewmodel/account/CloudSyncWorkflow.h"

#include "model/OrvalinkError.h"
#include "viewmodel/account/AccountSession.h"
#include "viewmodel/account/MigrationOverviewWorkflow.h"
#include "viewmodel/account/SnapshotRowFilter.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/history/PersistedStateReader.h"

#include <utility>

namespace orvalink {

CloudSyncWorkflow::CloudSyncWorkflow(ViewModelContext& context, AccountSession& session,
                                     PersistedStateReader& persisted, MigrationOverviewWorkflow& overview)
    : m_context(context), m_session(session), m_persisted(persisted), m_overview(overview)
{}

namespace {

bool sameFiles(const HistoryFiles& lhs, const HistoryFiles& rhs)
{
    return lhs.mappingsPath == rhs.mappingsPath && lhs.tasksPath == rhs.tasksPath;
}

} // namespace

HistoryFiles CloudSyncWorkflow::currentHistoryFiles() const
{
    // Each store's scope is copied under its own lock inside filePath().
    return HistoryFiles{m_context.services().mappingStore->filePath(),
                        m_context.services().taskStore->filePath()};
}

QCoro::Task<> CloudSyncWorkflow::restoreMigrationSnapshotFromCloudIfNeeded(bool userInitiated)
{
    if (m_context.accountState().isSyncingMigrationSnapshot() || !m_context.accountState().backendSession())
        co_return;
    const FlowTicket session = m_session.ticket();
    const HistoryFiles files = currentHistoryFiles();
    auto checking = m_context.background().run([files] { return historyIsEmpty(files); });
    const bool empty = co_await std::move(checking);
    // The session, the scope or another sync may have moved on while the files were read.
    if (!empty || !session.isCurrent() || m_context.accountState().isSyncingMigrationSnapshot() ||
        !m_context.accountState().backendSession() || !sameFiles(currentHistoryFiles(), files))
        co_return;
    const auto busy = &AccountState::setIsSyncingMigrationSnapshot;
    const FlowTicket ticket = m_session.beginFlow(busy, false);
    auto work = restoreIntoEmptyHistory(ticket, files, userInitiated);
    auto flow =
        m_session.finishFlow(std::move(work), ticket, busy, AccountSession::FailureReport::currentSession,
                             {QStringLiteral("恢复云端迁移历史失败。"),
                              QStringLiteral("Failed to restore cloud migration history.")},
                             userInitiated);
    co_await std::move(flow);
}

QCoro::Task<> CloudSyncWorkflow::restoreIntoEmptyHistory(FlowTicket ticket, HistoryFiles files,
                                                         bool userInitiated)
{
    auto validation = m_session.validSessionFor(ticket);
    const std::optional<BackendSession> session = co_await std::move(validation);
    if (!session)
        co_return;
    auto download = downloadIntoEmptyHistory(ticket, *session, files, Road::restore, userInitiated);
    co_await std::move(download);
}

QCoro::Task<> CloudSyncWorkflow::syncMigrationSnapshot(bool userInitiated)
{
    if (m_context.accountState().isSyncingMigrationSnapshot())
        co_return;
    if (!m_context.accountState().backendSession()) {
        if (userInitiated)
            m_context.accountState().setBackendStatusMessage(
                BilingualText("请先登录后再同步迁移历史。", "Sign in before syncing migration history."));
        co_return;
    }
    const auto busy = &AccountState::setIsSyncingMigrationSnapshot;
    const FlowTicket ticket = m_session.beginFlow(busy, userInitiated);
    auto work = synchronize(ticket, userInitiated);
    auto flow = m_session.finishFlow(
        std::move(work), ticket, busy, AccountSession::FailureReport::currentSession,
        {QStringLiteral("同步迁移历史失败。"), QStringLiteral("Failed to sync migration history.")},
        userInitiated);
    co_await std::move(flow);
}

QCoro::Task<> CloudSyncWorkflow::synchronize(FlowTicket ticket, bool userInitiated)
{
    const HistoryFiles files = currentHistoryFiles();
    auto validation = m_session.validSessionFor(ticket);
    const std::optional<BackendSession> session = co_await std::move(validation);
    if (!session)
        co_return;
    // The whole history goes into the request body, read line by line off the main thread.
    const QString fingerprint = m_session.publishDeviceFingerprint();
    auto reading =
        m_context.background().run([files, fingerprint] { return HistoryUpload::read(files, fingerprint); });
    HistoryUpload local = co_await std::move(reading);
    if (!ticket.isCurrent())
        co_return;
    if (local.recordCount == 0) {
        auto download = downloadIntoEmptyHistory(ticket, *session, files, Road::syncDownload, userInitiated);
        co_await std::move(download);
    } else {
        auto upload = uploadAndInstall(ticket, *session, files, std::move(local));
        co_await std::move(upload);
    }
}

QCoro::Task<> CloudSyncWorkflow::downloadIntoEmptyHistory(FlowTicket ticket, BackendSession session,
                                                          HistoryFiles files, Road road, bool userInitiated)
{
    const QString fingerprint = m_session.publishDeviceFingerprint();
    // Held by this frame: a reply may resume it after the state object is gone.
    const auto service = m_context.services().backendMigrationSyncService;
    auto fetch = service->fetchSnapshot(m_context.browsing().config().backendBaseURL, session.accessToken,
                                        fingerprint);
    const MigrationSyncSnapshot snapshot = co_await std::move(fetch);
    if (!ticket.isCurrent())
        co_return;
    m_context.accountState().setLastMigrationSyncAt(snapshot.syncedAt);

    if (snapshot.mappings.isEmpty() && snapshot.tasks.isEmpty()) {
        if (road == Road::syncDownload) {
            auto overview = m_overview.refreshMigrationOverview(false);
            co_await std::move(overview);
            if (!ticket.isCurrent())
                co_return;
        }
        if (userInitiated)
            m_context.accountState().setBackendStatusMessage(
                BilingualText("云端还没有当前账号在这台设备上的迁移历史。",
                              "There is no cloud migration history for this account on "
                              "this device yet."));
        co_return;
    }
    // A migration that finished while the request was out makes the history non-empty: the
    // snapshot is then not installed over it.
    auto installing =
        applyMigrationSnapshot(ticket, snapshot, files, HistoryInstallMode::onlyIntoEmptyHistory);
    const auto installed = co_await std::move(installing);
    if (!installed || !ticket.isCurrent())
        co_return;
    auto overview = m_overview.refreshMigrationOverview(false);
    co_await std::move(overview);
    if (!ticket.isCurrent())
        co_return;
    if (road == Road::restore)
        reportInstalled({"已从云端恢复当前账号在这台设备上的迁移记录。",
                         "Restored the migration snapshot for this account on this device from the cloud."},
                        installed->droppedCount);
    else
        reportInstalled({"本地历史为空，已从云端恢复当前账号在这台设备上的迁移记录。",
                         "Local history was empty, so the device snapshot was restored from the cloud."},
                        installed->droppedCount);
}

QCoro::Task<> CloudSyncWorkflow::uploadAndInstall(FlowTicket ticket, BackendSession session,
                                                  HistoryFiles files, HistoryUpload local)
{
    // Held by this frame: a reply may resume it after the state object is gone.
    const auto service = m_context.services().backendMigrationSyncService;
    auto upload = service->sync(m_context.browsing().config().backendBaseURL, session.accessToken,
                                std::exchange(local.body, {}));
    const MigrationSyncSnapshot reply = co_await std::move(upload);
    if (!ticket.isCurrent())
        co_return;
    auto installing = applyMigrationSnapshot(ticket, reply, files, HistoryInstallMode::keepingLocalChanges,
                                             std::move(local.sent));
    const auto installed = co_await std::move(installing);
    if (!installed || !ticket.isCurrent())
        co_return;
    auto overview = m_overview.refreshMigrationOverview(false);
    co_await std::move(overview);
    if (!ticket.isCurrent())
        co_return;
    const QString n = QString::number(installed->mappingCount);
    const QString m = QString::number(installed->taskCount);
    reportInstalled(BilingualText("已同步当前账号在这台设备上的迁移记录：已迁移 %1 项，历史 %2 条。",
                                  "Synced this account's migration records for this device: %1 migrated "
                                  "items and %2 history entries.")
                        .arg(n, m),
                    installed->droppedCount);
}

QCoro::Task<std::optional<CloudSyncWorkflow::Installed>>
CloudSyncWorkflow::applyMigrationSnapshot(FlowTicket ticket, MigrationSyncSnapshot snapshot,
                                          HistoryFiles files, HistoryInstallMode mode, SentRecords sent)
{
    ensureSnapshotBelongsToCurrentDevice(snapshot);
    if (!sameFiles(currentHistoryFiles(), files))
        co_return std::nullopt;
    const SafeSnapshotRows safe =
        safeSnapshotRows(snapshot, m_context.pathMappingService(), m_context.browsing().config().anchorUser);
    // The files are read and written off the main thread; they stay those of the snapshot's scope.
    auto installing = m_context.background().run(
        [files, records = HistoryRecords{safe.mappings, safe.tasks}, mode, sent = std::move(sent)] {
            return installHistory(files, records, mode, sent);
        });
    const std::optional<InstalledCounts> written = co_await std::move(installing);
    // A session that ended meanwhile has its sync time cleared, and its scope reloaded, already.
    if (!written || !ticket.isCurrent())
        co_return std::nullopt;
    m_context.accountState().setLastMigrationSyncAt(snapshot.syncedAt);
    auto reload = m_persisted.reloadPersistedState();
    co_await std::move(reload);
    if (!ticket.isAlive())
        co_return std::nullopt;
    co_return Installed{written->mappingCount, written->taskCount, safe.droppedCount};
}

void CloudSyncWorkflow::ensureSnapshotBelongsToCurrentDevice(const MigrationSyncSnapshot& snapshot)
{
    const QString expected = m_session.publishDeviceFingerprint();
    const QString actual = AccountSession::normalizedFingerprint(snapshot.deviceFingerprint);
    if (expected != actual)
        throw OrvalinkError::cloudSnapshotDeviceMismatch(expected, actual);
}

void CloudSyncWorkflow::reportInstalled(const BilingualText& installed, qsizetype droppedCount)
{
    if (droppedCount == 0) {
        m_context.accountState().setBackendStatusMessage(installed);
        return;
    }
    // The note ends each language's sentence, so both languages read as two whole sentences.
    const QString count = QString::number(droppedCount);
    m_context.accountState().setBackendStatusMessage(BilingualText(
        installed.in(UILanguage::chinese) + QStringLiteral("已忽略 %1 条路径不安全的云端记录。").arg(count),
        installed.in(UILanguage::english) +
            QStringLiteral(" Ignored %1 cloud records with unsafe paths.").arg(count)));
}

} // namespace orvalink
