#pragma once

#include "diskops/RecoveredOperation.h"

#include <QList>
#include <QUuid>
#include <functional>

namespace orvalink {

class LogService;
class VolumeService;

// Puts right, at start-up, every migration and undo that an earlier process began and did not end
// (it crashed, was killed, or the machine stopped), from its journal and what stands on disk. Each
// ends at one whole state: before the data was whole and flushed at its new place the operation
// goes back, after that it goes forward (MigrationRecovery.h, UndoRecovery.h).
//
// Nothing here can destroy what is not the operation's own:
// - a record is checked before anything is done (journalProblem, then placesProblem on disk); one
//   that fails, or cannot be read, is set aside once and reported, and nothing it names is touched;
// - every path is reached through folders verified on the way, and acted on relative to them
//   (RecordedPlaces.h);
// - a path is moved or removed only while it still holds the entry the record names, and a
//   volume is worked on only while it is the recorded one (RecordedIdentity.h, volume UUIDs);
//   otherwise everything stays as found, the record is kept and the paths are reported;
// - a volume that is away keeps the record, which is tried again at the next start;
// - nobody is asked for administrator rights: a step that needs them leaves the operation as
//   found and says so.
// Operations of processes still running are left alone. Blocking (copies, removals): run it off
// the window's thread, and before anything starts a new migration or undo.
class OperationRecovery {
public:
    // Called on the recovering thread right before an operation whose record passed its checks is
    // put right, with that record.
    using Starting = std::function<void(const JournalRecord& record)>;

    OperationRecovery(LogService& log, const VolumeService& volumes);

    // Never throws; an operation whose recovery fails midway is reported as leftAsFound and tried
    // again at the next start.
    QList<RecoveredOperation> recoverInterruptedOperations(const Starting& starting = {}) const;

    // Of those records, only the undos that came home whole but could not write the history then:
    // their mappings go and the undos are recorded now, for an operation about to write the history
    // itself (the moment it can be written may have come before the next start). Never throws; a
    // history that still cannot be written keeps them waiting.
    QList<RecoveredOperation> recordWaitingHistories() const;

    // Of those records, only the migration that made the mapping `mappingID`, if one waits: put
    // right as a start would (a migration waiting for a program to let go of a newer version is
    // finished once it has), for an undo of that mapping, which must not take home a folder whose
    // newest versions still wait elsewhere. Never throws; empty when no record of it waits.
    QList<RecoveredOperation> finishMigrationOf(const QUuid& mappingID) const;

    // The same for the migrations of `sourcePath` taken back (settled: the data is whole there) that
    // wait, for a new migration of it: one may wait to put newer versions a program held in place
    // there, which a new migration would leave behind. Never throws.
    QList<RecoveredOperation> finishTakenBackMigrationsAt(const QString& sourcePath) const;

    // The source paths of the operations waiting to be put right, for telling the user what the
    // start-up is busy with. Reads the records only.
    static QStringList pendingSourcePaths();

private:
    // Puts right the records whose file (read without taking it over) `which` accepts.
    QList<RecoveredOperation> recover(const std::function<bool(const QString& recordPath)>& which,
                                      const Starting& starting = {}) const;

    LogService& m_log;
    const VolumeService& m_volumes;
};

} // namespace orvalink
