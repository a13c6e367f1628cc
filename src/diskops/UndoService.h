#pragma once

#include "model/LinkMapping.h"
#include "platform/EntryStatus.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

namespace orvalink {

class ActiveProcessService;
class LogService;
struct JournalRecord;
class MappingStore;
class PathMappingService;
class PrivilegedFileOperationService;
class TaskStore;
class VolumeService;
class FallbackFileOperations;
class OperationJournal;

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

struct UndoResult {
    LinkMapping mapping; // the mapping that was undone
    QDateTime revertedAt;
    std::optional<ForceUndoRestoreSummary> forceRestoreSummary; // none without a forced restore
    QStringList terminatedProcesses; // ended on request before the data moved, sorted

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

    // Restores the most recent mapping of the scope (found without holding the others). Throws
    // undoTargetNotFound (E014) when there is none, else as the restore below.
    UndoResult undoLastMigration(const QString& anchorUser) const;
    // Restores the first mapping with `mappingID` (the read stops there); E014 when there is none.
    UndoResult undoMigration(const QUuid& mappingID, const QString& anchorUser) const;
    // The same with a forced restore mode for an occupied source path.
    UndoResult forceUndoMigration(const QUuid& mappingID, const QString& anchorUser,
                                  ForcedUndoRestoreMode mode) const;
    // The same (forced when `mode` is given) after ending our own user's processes that hold files
    // inside the migrated item; sourceInUse (E007) names those still holding it at the deadline,
    // other users' programs (never signalled) with their owners.
    UndoResult undoMigrationEndingHolders(const QUuid& mappingID, const QString& anchorUser,
                                          std::optional<ForcedUndoRestoreMode> mode) const;

    // The restore of one mapping. `allMappings` loses every mapping with the mapping's id; the
    // mappings file is rewritten the same way, re-read under its lock so that records appended
    // meanwhile survive. `anchorUser` goes into the task record.
    //
    // It acts only on the item the migration made: the data is looked for where the recorded volume
    // is mounted now (see currentTargetPath; the stored record stays as it is), reached from the
    // volumes folder without following a link, and must pass verifyUndoTarget; the move back holds to
    // the entry checked (see restoreThroughSibling). Throws:
    // - disallowedPath (E012) for a record whose paths are unsafe to act on (see HistoryRecordSafety),
    // - undoMappingBroken (E016) when nothing exists at the target path,
    // - undoTargetUnverified (E019) when what stands there cannot be confirmed as the migrated item,
    //   or more than one mounted volume carries the recorded UUID (a clone's copy may be older), with
    //   nothing changed and the record kept,
    // - undoSourceOccupied (E015) for an occupied source path without a mode,
    // - sourceInUse (E007) for an undo, with the source path and the names of the processes that
    //   hold files inside the migrated item, before anything moved (unless `terminateHolders`, which
    //   ends those of our own user first, but only once every refusal above has passed and the
    //   record is written): what they write meanwhile would stay behind on the volume,
    // - rollbackFailed (E011) when the move back fails,
    // - the platform or administrator error of any other failed step, the data then whole at the
    //   target with the link back in place (or at the recorded restore sibling for the next start),
    // - UndoIncomplete once the data is back at the source but the undo could not end: the history
    //   could not be rewritten (the record is kept for the next start), or entries written through
    //   the link meanwhile, or held by a program when the target is to be removed, stayed at the
    //   target (the mapping is kept, naming them).
    // The data comes back through a reserved sibling of the source path and replaces the link in
    // one step, so the source path never holds a partial tree; each step is recorded first
    // (OperationJournal). A forced mode first sets the occupant aside beside the source path; once
    // the data is back, an append merges it into the data and an overwrite leaves it there.
    // Afterwards the empty folders that mirrored the source's parents below the target root are
    // removed. When a step fails, the occupant (if any) and else the link are put back while the
    // source path is free and the data is still at the target.
    UndoResult undoMigration(const LinkMapping& mapping, QList<LinkMapping>& allMappings,
                             const QString& anchorUser, std::optional<ForcedUndoRestoreMode> mode,
                             bool terminateHolders = false) const;

private:
    // What stands at the source path when an undo begins.
    enum class SourceOccupant {
        none,
        link,        // the migration's link, or any other: replaced by the data in one step
        emptyFolder, // removed before the data comes back
        occupied,    // anything else: only a forced restore may set it aside
    };
    static SourceOccupant sourceOccupantOf(const QString& source);
    // What stood at the source path of a forced restore, set aside while the data comes back.
    struct OccupantAside {
        QString path;
        ForcedUndoRestoreMode mode = ForcedUndoRestoreMode::append;
        bool merge = false; // an append of two real directories: merged into the data afterwards
    };
    // Where the occupant of `source` is to go, and whether it is merged in afterwards.
    static OccupantAside planOccupantAside(const QString& source, ForcedUndoRestoreMode mode,
                                           platform::EntryKind migrated);
    // Moves what the record names as the occupant of `source` to its recorded place aside, only
    // while it is that entry (EBUSY otherwise). Throws platform::PlatformError.
    static void moveOccupantAside(const FallbackFileOperations& files, const OperationJournal& journal,
                                  const QString& source);
    // After a failed restore: back at the source path while it is free. Never throws.
    void putOccupantBack(const OccupantAside& aside, const QString& source) const;
    // After the data is back: merges the occupant in (append of directories) or leaves it aside.
    // `splitMerge` turns true for a merge that failed and could not be put back whole: part of the
    // occupant is inside the data then, and only the operation's record leads to the rest.
    ForceUndoRestoreSummary settleOccupant(const FallbackFileOperations& files, const OccupantAside& aside,
                                           const QString& source, bool& splitMerge) const;
    void recordWaitingHistories() const;
    UndoResult undoByID(const QUuid& mappingID, const QString& anchorUser,
                        std::optional<ForcedUndoRestoreMode> mode, bool terminateHolders) const;
    void recordUndo(const LinkMapping& mapping, const QString& anchorUser, const QDateTime& at,
                    const QUuid& taskID) const;
    JournalRecord undoRecord(const LinkMapping& mapping, const QString& source, const QString& target,
                             const QString& anchorUser) const;

    const MappingStore& m_mappings;
    const TaskStore& m_tasks;
    LogService& m_log;
    const PrivilegedFileOperationService& m_privileged;
    const PathMappingService& m_pathMapping;
    const VolumeService& m_volumes;
    const ActiveProcessService& m_processes;
};

} // namespace orvalink
