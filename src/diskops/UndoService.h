#pragma once

#include "model/LinkMapping.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

namespace orvalink {

class LogService;
struct JournalRecord;
class MappingStore;
class PathMappingService;
class PrivilegedFileOperationService;
class TaskStore;

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
                const PrivilegedFileOperationService& privileged, const PathMappingService& pathMapping);

    // The scope's mappings, most recent first (equal recency keeps file order), at most `limit`.
    // Never throws; an unreadable history is empty.
    QList<LinkMapping> undoHistory(qsizetype limit) const;

    // Restores the most recent mapping of the scope. Throws undoTargetNotFound (E014) when there is
    // none, else as the restore below.
    UndoResult undoLastMigration(const QString& anchorUser) const;
    // Restores the first mapping with `mappingID`; E014 when there is none.
    UndoResult undoMigration(const QUuid& mappingID, const QString& anchorUser) const;
    // The same with a forced restore mode for an occupied source path.
    UndoResult forceUndoMigration(const QUuid& mappingID, const QString& anchorUser,
                                  ForcedUndoRestoreMode mode) const;

    // The restore of one mapping. `allMappings` loses every mapping with the mapping's id; the
    // mappings file is rewritten the same way, re-read under its lock so that records appended
    // meanwhile survive. `anchorUser` goes into the task record. Throws:
    // - disallowedPath (E012) for a record whose paths are unsafe to act on (see HistoryRecordSafety),
    // - undoMappingBroken (E016) when nothing exists at the target path,
    // - undoSourceOccupied (E015) for an occupied source path without a mode,
    // - rollbackFailed (E011) when the move back fails,
    // - the platform or administrator error of any other failed step.
    // The data comes back through a reserved sibling of the source path and replaces the link in
    // one step (see restoreThroughSibling), so the source path never holds a partial tree; each
    // step is recorded first (OperationJournal). Afterwards the empty folders that mirrored the
    // source's parents below the target root are removed. When a step fails, the link is put back
    // while the source path is free and the data is still at the target.
    UndoResult undoMigration(const LinkMapping& mapping, QList<LinkMapping>& allMappings,
                             const QString& anchorUser, std::optional<ForcedUndoRestoreMode> mode) const;

private:
    ForceUndoRestoreSummary prepareOccupiedSourceForForcedUndo(const QString& sourcePath,
                                                               const QString& targetPath,
                                                               ForcedUndoRestoreMode mode) const;
    UndoResult undoByID(const QUuid& mappingID, const QString& anchorUser,
                        std::optional<ForcedUndoRestoreMode> mode) const;
    void recordUndo(const LinkMapping& mapping, const QString& anchorUser, const QDateTime& at,
                    const QUuid& taskID) const;
    JournalRecord undoRecord(const LinkMapping& mapping, const QString& source, const QString& target,
                             const QString& anchorUser) const;

    const MappingStore& m_mappings;
    const TaskStore& m_tasks;
    LogService& m_log;
    const PrivilegedFileOperationService& m_privileged;
    const PathMappingService& m_pathMapping;
};

} // namespace orvalink
