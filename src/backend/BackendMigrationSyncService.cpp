#include "backend/BackendMigrationSyncService.h"

#include "backend/MigrationSyncPayloads.h"
#include "backend/SyncRequestBody.h"

namespace orvalink {

namespace {

const QString kSyncPath = QStringLiteral("/api/v1/me/migrations/sync");

} // namespace

BackendMigrationSyncService::BackendMigrationSyncService(BackendAPIClient client)
    : m_client(std::move(client))
{}

QCoro::Task<MigrationSyncSnapshot>
BackendMigrationSyncService::fetchSnapshot(QString baseURL, QString accessToken, QString deviceFingerprint)
{
    QString path = QStringLiteral("/api/v1/me/migrations/snapshot?deviceFingerprint=") +
                   BackendAPIClient::encodedQueryValue(deviceFingerprint);
    const syncwire::SnapshotPayload payload = co_await m_client.send<syncwire::SnapshotPayload>(
        std::move(baseURL), std::move(path), kHttpGet, std::nullopt, std::move(accessToken),
        BackendAPIClient::kLargeReplyLimit);
    co_return payload.makeSnapshot();
}

QCoro::Task<MigrationSyncSnapshot> BackendMigrationSyncService::sync(QString baseURL, QString accessToken,
                                                                     QString deviceFingerprint,
                                                                     QList<LinkMapping> mappings,
                                                                     QList<MigrationTask> tasks)
{
    syncwire::SyncRequestBody body(deviceFingerprint);
    for (const LinkMapping& mapping : mappings)
        body.addMapping(mapping);
    for (const MigrationTask& task : tasks)
        body.addTask(task);
    return sync(std::move(baseURL), std::move(accessToken), body.take());
}

QCoro::Task<MigrationSyncSnapshot> BackendMigrationSyncService::sync(QString baseURL, QString accessToken,
                                                                     QByteArray body)
{
    const syncwire::SnapshotPayload payload = co_await m_client.sendEncoded<syncwire::SnapshotPayload>(
        std::move(baseURL), kSyncPath, kHttpPost, std::move(body), std::move(accessToken),
        BackendAPIClient::kLargeReplyLimit);
    co_return payload.makeSnapshot();
}

QCoro::Task<BackendMigrationOverview>
BackendMigrationSyncService::fetchOverview(QString baseURL, QString accessToken,
                                           QString currentDeviceFingerprint)
{
    QString path = QStringLiteral("/api/v1/me/migrations/overview?currentDeviceFingerprint=") +
                   BackendAPIClient::encodedQueryValue(currentDeviceFingerprint);
    const syncwire::OverviewPayload payload = co_await m_client.send<syncwire::OverviewPayload>(
        std::move(baseURL), std::move(path), kHttpGet, std::nullopt, std::move(accessToken));
    co_return payload.overview;
}

} // namespace orvalink
