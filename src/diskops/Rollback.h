#pragma once

#include "model/OrvalinkError.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace orvalink {

class FallbackFileOperations;
class LogService;
class OperationJournal;

// What a rollback kept aside instead of destroying.
struct RollbackOutcome {
    // The item that had reoccupied the source path (a placeholder there is removed, not kept).
    std::optional<QString> preservedConflictPath;
    // The item that stood at the target path and did not come from the migration: one that appeared
    // after the occupancy check, or an occupant a failed forced step left there.
    std::optional<QString> preservedTargetConflictPath;
    // What stayed at the target after the data was copied back: entries written there meanwhile.
    QStringList leftoverTargetPaths;
    // Copies of what is back at the source that the removal of the target could not take (a
    // read-only volume, an immutable file), with the first failure of that removal.
    QStringList leftCopyPaths;
    QString copyFailure;
    // Where what a program still wrote while the staged files went stayed, newer than what came back.
    std::optional<QString> stillChangingPath;
    // Where the versions that what stayed at the staging path replaced in what came back were kept.
    QStringList olderVersionPaths;

    bool operator==(const RollbackOutcome&) const = default;
};

// Puts the data of a failed migration back at its source path. Nothing is deleted on the way but
// placeholders: an item in the way is moved into a "rollback-conflict" reserved path and logged.
class MigrationRollback {
public:
    MigrationRollback(const FallbackFileOperations& files, LogService& log) : m_files(files), m_log(log) {}

    // With a staging path that still holds the staged item, that item goes back to the source path
    // and whatever stands at the target path is kept aside; otherwise the item at the target path
    // goes back. Throws OrvalinkError::rollbackFailed with `sourcePath` ("Invalid rollback paths"
    // for an empty path, "Target path missing during rollback" when there is nothing to move back,
    // or the failure to clear the source path); a failed move back is thrown as it came. The item at
    // the target path comes back through a reserved sibling (see restoreThroughSibling), so no
    // partial tree stands at the source path; `journal`, the migration's record, tells which item
    // there is the migrated one and records that restore (without it nothing is taken from the
    // target). What stayed at the target then is in the answer and written to the log.
    RollbackOutcome rollback(const QString& sourcePath, const QString& targetPath,
                             const std::optional<QString>& stagingPath,
                             OperationJournal* journal = nullptr) const;

    // Moves the item at `path` into a "rollback-conflict" reserved sibling, writes the warning
    // "Rollback preserved conflict path: <path> -> <reserved>" and returns the reserved path. A failed
    // move throws rollbackFailed with `path`.
    QString preserveRollbackConflict(const QString& path) const;

private:
    // Writes to the log what stayed at the target after the data came back from there.
    void reportLeftovers(const QString& sourcePath, const QString& targetPath,
                         const RollbackOutcome& outcome) const;

    const FallbackFileOperations& m_files;
    LogService& m_log;
};

// `text` ending in a full stop, so that another sentence can follow it.
QString asSentence(const QString& text);

// The failure text stored in a task: the error's description, then what the rollback achieved.
QString rollbackMessage(const OrvalinkError& error, bool rollbackSucceeded,
                        const std::optional<RollbackOutcome>& outcome);

} // namespace orvalink
