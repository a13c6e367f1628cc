#pragma once

#include "diskops/OperationJournal.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace orvalink {

// What the start-up did with one operation that an earlier process left unfinished.
struct RecoveredOperation {
    enum class Outcome {
        migrationRolledBack, // the data is back at the source path
        migrationCompleted,  // the link points at the whole target, the mapping is recorded
        // The link points at the whole target and the mapping is recorded, but newer versions of the
        // original (waitingPaths, heldPaths) wait where they are: the record stays for a later start.
        migrationUnfinished,
        undoStopped,       // the link and the mapping stay, nothing of the undo remains
        forcedUndoStopped, // what stood at the source is back there; the data and mapping stay
        undoCompleted,     // the data is back at the source path, the mapping is gone
        leftoversCleared,  // settled at an earlier start; what it left on the volume is gone now
        leftAsFound,       // nothing was touched: the paths need the user's attention
        setAside,          // the record could not be read or trusted: set aside, nothing touched
    };

    Outcome outcome = Outcome::leftAsFound;
    JournalKind kind = JournalKind::migration;
    QString sourcePath;
    QString targetPath;
    // Paths of the operation that hold something and were left as they were found, for the user.
    QStringList foundPaths;
    // Of the original a copy was made from: entries that changed after the copy and were kept.
    QStringList keptPaths;
    // Where the versions that entries changed after the copy replaced were kept, beside them.
    QStringList olderVersions;
    // Of the staged original, newer entries that could not be put in place at the target (the log
    // says why): the record stays, and a later start tries again.
    QStringList waitingPaths;
    // Of the staged original, or of a copy no longer needed, what programs held (`holders`, their
    // shown names), so it was left where it is: the record stays, and a later start finishes with it
    // once they let go.
    QStringList heldPaths;
    QStringList holders;
    // The target root whose volume is away: the record waits for the next start.
    std::optional<QString> waitingForVolume;
    // The migration was being taken back when its process stopped (a failure after its copy was
    // whole had begun to bring the data home), and the start completed it instead: the data is at
    // the target, whole, and the user's path leads to it.
    bool completedInstead = false;
    // A step was refused for lack of rights; nobody was asked for a password.
    bool needsAdministrator = false;
    // For setAside: where the record is now.
    QString recordPath;
};

} // namespace orvalink
