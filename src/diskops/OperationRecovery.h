#pragma once

#include "diskops/OperationJournal.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace orvalink {

class LogService;
class PrivilegedFileOperationService;

// What the start-up did with one operation that an earlier process left unfinished.
struct RecoveredOperation {
    enum class Outcome {
        migrationRolledBack, // the data is back at the source path, nothing of the migration remains
        migrationCompleted,  // the link points at the whole target, the mapping is recorded
        undoStopped,         // the link and the mapping stay, nothing of the undo remains
        undoCompleted,       // the data is back at the source path, the mapping is gone
        leftAsFound,         // nothing was touched: the paths need the user's attention
    };

    Outcome outcome = Outcome::leftAsFound;
    JournalKind kind = JournalKind::migration;
    QString sourcePath;
    QString targetPath;
    QStringList foundPaths; // for leftAsFound: the paths of the operation that hold something
};

// Puts right, at start-up, every migration and undo that an earlier process began and did not end
// (it crashed, was killed, or the machine stopped), from its journal and what stands on disk. Each
// ends at one whole state: before the data was whole and flushed at its new place the operation
// goes back, after that it goes forward. Only what the journal says the operation itself created
// is ever removed, and never the only whole copy; what it cannot explain is left where it is,
// written to the log and reported. Operations of processes still running are left alone. Run it
// before anything starts a new migration or undo.
class OperationRecovery {
public:
    OperationRecovery(const PrivilegedFileOperationService& privileged, LogService& log);

    // Never throws; an operation whose recovery fails is reported as leftAsFound and tried again at
    // the next start.
    QList<RecoveredOperation> recoverInterruptedOperations() const;

private:
    RecoveredOperation recover(OperationJournal& journal) const;
    RecoveredOperation recoverMigration(OperationJournal& journal) const;
    RecoveredOperation recoverUndo(OperationJournal& journal) const;
    void placeRestored(OperationJournal& journal) const;
    RecoveredOperation completeMigration(OperationJournal& journal) const;
    RecoveredOperation rollBackMigration(OperationJournal& journal, bool removeTarget) const;
    RecoveredOperation completeUndo(OperationJournal& journal) const;
    RecoveredOperation stopUndo(OperationJournal& journal) const;
    RecoveredOperation leaveAsFound(const JournalRecord& record, const QString& why) const;

    const PrivilegedFileOperationService& m_privileged;
    LogService& m_log;
};

} // namespace orvalink
