#pragma once

#include "backend/BackendAPIClient.h"
#include "backend/MigrationSyncRecords.h"

#include <QCoro/QCoroTask>

namespace orvalink {

// The client side of the cloud backup of each device's migration history: download this device's
// snapshot, upload the local history (receiving what the service then holds), and download the
// overview of all the account's devices. No state, no session, no local files: the workflows
// validate the session and read and write the history.
//
// `accessToken` must be that of a session the caller has just validated; the fingerprint is sent
// exactly as given. Main thread only; the service must outlive its operations. Throws ClientError.
class BackendMigrationSyncService {
public:
    explicit BackendMigrationSyncService(BackendAPIClient client);

    const BackendAPIClient& client() const { return m_client; }

    QCoro::Task<MigrationSyncSnapshot> fetchSnapshot(QString baseURL, QString accessToken,
                                                     QString deviceFingerprint);

    QCoro::Task<MigrationSyncSnapshot> sync(QString baseURL, QString accessToken, QString deviceFingerprint,
                                            QList<LinkMapping> mappings, QList<MigrationTask> tasks);
    // The same with the body built beforehand (syncwire::SyncRequestBody, which carries the
    // fingerprint): a whole history is encoded off the main thread and held once.
    QCoro::Task<MigrationSyncSnapshot> sync(QString baseURL, QString accessToken, QByteArray body);

    QCoro::Task<BackendMigrationOverview> fetchOverview(QString baseURL, QString accessToken,
                                                        QString currentDeviceFingerprint);

private:
    BackendAPIClient m_client;
};

} // namespace orvalink
