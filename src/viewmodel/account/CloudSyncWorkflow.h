#pragma once

#include "backend/BackendSession.h"
#include "backend/MigrationSyncRecords.h"
#include "viewmodel/account/AccountSession.h"
#include "viewmodel/history/HistoryInstall.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <optional>

namespace orvalink {

class MigrationOverviewWorkflow;
class PersistedStateReader;
class ViewModelContext;

// Moves this device's migration history between the history files of the signed-in account and
// the account service: a restore when the local history is empty, and the sync that uploads the
// local history (or downloads when it is empty) and installs what the service returns. Both share
// `isSyncingMigrationSnapshot` and ignore a start while it is set.
//
// A result for a session or a history scope that is no longer in use is dropped, never written
// into the history now in use. Never throws.
class CloudSyncWorkflow {
public:
    // What an install wrote, and how many rows of the snapshot were refused as unsafe.
    struct Installed {
        qsizetype mappingCount = 0;
        qsizetype taskCount = 0;
        qsizetype droppedCount = 0;
    };

    CloudSyncWorkflow(ViewModelContext& context, AccountSession& session, PersistedStateReader& persisted,
                      MigrationOverviewWorkflow& overview);

    // Quiet unless it restores: returns at once without a session or with a non-empty history.
    QCoro::Task<> restoreMigrationSnapshotFromCloudIfNeeded(bool userInitiated);
    QCoro::Task<> syncMigrationSnapshot(bool userInitiated);

    // Installs a snapshot of this device into `files`, which must still be the files of the scope
    // in use (otherwise nothing happens and none is returned): refuses unsafe rows, replaces both
    // files under their locks as `mode` says (on the background runner), publishes the sync time
    // and reloads the history. None also when `onlyIntoEmptyHistory` found the history no longer
    // empty, or when the flow of `ticket` was retired meanwhile. Throws the device check's error
    // (nothing written) or a file error (both files as they were).
    QCoro::Task<std::optional<Installed>> applyMigrationSnapshot(FlowTicket ticket,
                                                                 MigrationSyncSnapshot snapshot,
                                                                 HistoryFiles files, HistoryInstallMode mode,
                                                                 SentRecords sent = {});

    // Publishes this device's normalized fingerprint and throws OrvalinkError E017 when the
    // snapshot's differs (trimmed, lower-cased, compared exactly).
    void ensureSnapshotBelongsToCurrentDevice(const MigrationSyncSnapshot& snapshot);

private:
    // Validates the session, then downloads into an empty history or uploads the local one. Throws the
    // failure to report.
    QCoro::Task<> synchronize(FlowTicket ticket, bool userInitiated);
    // Validates the session, then downloads into the empty history. Throws the failure to report.
    QCoro::Task<> restoreIntoEmptyHistory(FlowTicket ticket, HistoryFiles files, bool userInitiated);
    enum class Road { restore, syncDownload };

    // The download into an empty history (restore, and the sync when the history is empty), and
    // the upload of `local` with the install of the reply. Both return quietly once the flow's
    // session ended meanwhile and throw the failure to report.
    QCoro::Task<> downloadIntoEmptyHistory(FlowTicket ticket, BackendSession session, HistoryFiles files,
                                           Road road, bool userInitiated);
    QCoro::Task<> uploadAndInstall(FlowTicket ticket, BackendSession session, HistoryFiles files,
                                   HistoryUpload local);

    HistoryFiles currentHistoryFiles() const;
    void reportInstalled(const BilingualText& installed, qsizetype droppedCount);

    ViewModelContext& m_context;
    AccountSession& m_session;
    PersistedStateReader& m_persisted;
    MigrationOverviewWorkflow& m_overview;
};

} // namespace orvalink
