#pragma once

#include "model/LinkMapping.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

namespace orvalink {

class ActiveProcessService;
class LogService;
class MappingStore;
class PathMappingService;
class PrivilegedFileOperationService;
class TaskStore;
class VolumeService;

// How a restore may clear a source path that something occupies again.
enum class ForcedUndoRestoreMode {
    append,   // merge the occupant into the restored data (restored items keep their names)
    overwrite // keep the occupant whole in a hidden "overwrite-preserved" path
};

// What a forced restore did with the occupant of the source path.
struct ForceUndoRestoreSummary {
    ForcedUndoRestoreMode requestedMode = ForcedUndoRestoreMode::append;
    bool didAppendMerge = false;
    std::optional<QString> preservedPath; // where the occupant was kept; none after a merge
    qint64 mergedExistingItemCount = 0;   // occupant items placed by the merge
    qint64 renamedConflictCount = 0;      // occupant items kept under an "append-preserved" name

    bool operator==(const ForceUndoRestoreSummary&) const = default;
};

// What the user answered to the questions an undo may ask. In a restore run the answers travel
// together into every further attempt at an item: a forced restore that meets programs is not asked
// its mode again, and programs ended are not asked about again.
struct UndoAnswers {
    // How to clear a source path that something occupies again; none: such an undo is refused.
    std::optional<ForcedUndoRestoreMode> mode;
    // End our own user's programs that hold files inside the migrated item first.
    bool endPrograms = false;

    bool operator==(const UndoAnswers&) const = default;
};

struct UndoResult {
    LinkMapping mapping;  // the mapping that was undone
    QDateTime revertedAt; // when the undo was recorded; invalid when items stayed behind
    std::optional<ForceUndoRestoreSummary> forceRestoreSummary; // none without a forced restore
    QStringList terminatedProcesses; // ended on request before the data moved, sorted
    // Where the data stood on the volume: the recorded target, or the same place where the recorded
    // volume is mounted now.
    QString targetPath;
    // The data is whole at the source path either way. Entries that stayed at the target: written
    // through the old link while the data was copied home, or held by a program when the target was
    // to be removed. They exist only there, so this is no undo: the mapping stays in the history,
    // and a forced restore brings them home.
    QStringList leftBehindPaths;
    // Copies of what is home that the volume would not give up (a read-only volume, an immutable
    // file): the undo is done all the same.
    QStringList leftCopyPaths;

    bool leftBehind() const { return !leftBehindPaths.isEmpty(); }
    bool operator==(const UndoResult&) const = default;
};

// Reverses migrations: moves the data from the target back to the source path, removes the link
// and the mapping record, and records a rolledBack task and a log line. A link or an empty
// directory at the source path is removed; anything else there stops the undo (E015) unless a
// forced restore mode is given. Nothing is deleted: occupants are merged or kept in reserved paths.
//
// Keeps no state besides its references, which must outlive it. Synchronous on the caller's thread.
class UndoService {
public:
    UndoService(const MappingStore& mappings, const TaskStore& tasks, LogService& log,
                const PrivilegedFileOperationService& privileged, const PathMappingService& pathMapping,
                const VolumeService& volumes, const ActiveProcessService& processes);

    // The scope's mappings, most recent first (equal recency keeps file order), at most `limit`.
    // The history is read line by line and only the newest `limit` are held. Never throws; an
    // unreadable history is empty.
    QList<LinkMapping> undoHistory(qsizetype limit) const;

    // Restores the first mapping with `mappingID` (the read stops there) with the user's `answers`;
    // the mappings file is rewritten without every mapping of that id, re-read under its lock so
    // that records appended meanwhile survive. `anchorUser` goes into the task record.
    //
    // It acts only on the item the migration made: the data is looked for where the recorded volume
    // is mounted now (see currentTargetPath; the stored record stays as it is), reached from the
    // volumes folder without following a link, and must pass verifyUndoTarget; the move back holds to
    // the entry checked (see restoreThroughSibling). Every refusal that needs nothing changed comes
    // before any program is ended. Throws:
    // - undoTargetNotFound (E014) when no mapping has the id,
    // - disallowedPath (E012) for a record whose paths are unsafe to act on (see HistoryRecordSafety),
    // - undoMappingBroken (E016) when nothing exists at the target path,
    // - undoTargetUnverified (E019) when what stands there cannot be confirmed as the migrated item,
    //   or more than one mounted volume carries the recorded UUID (a clone's copy may be older), with
    //   nothing changed and the record kept,
    // - undoSourceOccupied (E015) for an occupied source path without a mode,
    // - sourceInUse (E007), with the source path and the names of what holds files inside the
    //   migrated item, before anything moved: without `endPrograms`; with it, when a holder is never
    //   ended (another user's program, the kernel), before any program is ended; else naming those
    //   still holding it after our own user's were ended,
    // - the platform error of a look that failed before anything changed,
    // - UndoNotDone when bringing the data home failed and everything is as it was: the data whole at
    //   the target, the link (or the occupant) back in place; a file that cannot be read, say, or an
    //   administrator's command that was refused,
    // - rollbackFailed (E011) when bringing the data home failed and not everything could be put
    //   back: the data is whole at the target all the same (or at the recorded restore sibling for
    //   the next start),
    // - UndoIncomplete once the data is back at the source but the history could not be rewritten
    //   (the record is kept for the next start).
    // What stayed on the volume though the data came home is in the result (see UndoResult).
    // The data comes back through a reserved sibling of the source path and replaces the link in
    // one step, so the source path never holds a partial tree; each step is recorded first
    // (OperationJournal). A forced mode first sets the occupant aside beside the source path; once
    // the data is back, an append merges it into the data and an overwrite leaves it there.
    // Afterwards the empty folders that mirrored the source's parents below the target root are
    // removed.
    UndoResult undoMigration(const QUuid& mappingID, const QString& anchorUser,
                             const UndoAnswers& answers = {}) const;

private:
    friend class UndoRun;

    const MappingStore& m_mappings;
    const TaskStore& m_tasks;
    LogService& m_log;
    const PrivilegedFileOperationService& m_privileged;
    const PathMappingService& m_pathMapping;
    const VolumeService& m_volumes;
    const ActiveProcessService& m_processes;
};

} // namespace orvalink
