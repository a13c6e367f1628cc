#include "diskops/UndoRecovery.h"

#include "diskops/FallbackFileOperations.h"
#include "diskops/InterruptedOperation.h"
#include "diskops/OccupantMerge.h"
#include "diskops/ReservedPaths.h"
#include "model/LinkMapping.h"
#include "model/MigrationTask.h"
#include "store/JSONLStore.h"
#include "store/LogService.h"

namespace orvalink {

namespace {

using Outcome = RecoveredOperation::Outcome;
using Volume = InterruptedOperation::Volume;
using Target = InterruptedOperation::Target;
using Side = InterruptedOperation::Side;

// An append restore merges what stood at the source into the restored data: a merge that a crash
// cut short goes on where it stopped (each item stands in one of the two folders, never in both).
// Anything but the occupant the record names at its reserved path stays as it is. A merge that
// fails is put back, as the undo itself does: the data is home all the same, and what stood at the
// source stays whole where it was set aside. One that cannot be put back either throws: the record
// stays, and the next start goes on with the merge.
void mergeOccupant(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    if (record.occupantPath.isEmpty() || !record.occupantMerge ||
        !operation.entries().holdsAtSource(record.occupantPath, record.occupantIdentity) ||
        !operation.entries().holdsAtSource(record.sourcePath, record.restoreIdentity))
        return;
    const FallbackFileOperations files = FallbackFileOperations::withoutAdministrator(operation.log());
    mergeOccupantIntoRestored(files, operation.log(), record.occupantPath, record.sourcePath);
}

// The mapping goes and the undo is recorded: the data is at the source path, or was there.
void recordUndone(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    JSONLStore::removeWhere<LinkMapping>(
        record.mappingsFile, [&](const LinkMapping& each) { return each.id == record.mappingID; });
    operation.recordUndoneTask();
}

// A forced restore sets what stood at the source aside until the data is back: the user is told
// where it is, whether or not it was merged in before the stop.
RecoveredOperation namingWhatWasSetAside(const JournalRecord& record, RecoveredOperation done)
{
    if (record.forced) {
        for (const QString& path : existingReservedPaths(record.sourcePath)) {
            if (!done.foundPaths.contains(path))
                done.foundPaths.append(path);
        }
    }
    return done;
}

// The restored data stands at the source path.
RecoveredOperation completeUndo(InterruptedOperation& operation)
{
    const JournalRecord record = operation.record();
    operation.removeExchangedLink();
    mergeOccupant(operation);
    recordUndone(operation);
    return namingWhatWasSetAside(record, operation.finishAtSource(Outcome::undoCompleted));
}

// The undo came home whole and cleared the target side, but could not write the history then: the
// mapping goes now and the undo is recorded, whatever became of the folder at the source since (it
// may have been migrated again, renamed or removed: that is the user's doing after the undo).
RecoveredOperation recordUndoHistory(InterruptedOperation& operation)
{
    const JournalRecord record = operation.record();
    recordUndone(operation);
    return namingWhatWasSetAside(record, operation.finish(Outcome::undoCompleted));
}

// The data is whole at the target only: the link leads there again.
RecoveredOperation stopUndo(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    if (!operation.linkSource())
        return operation.leaveSourceOccupied();
    operation.log().append(LogLevel::warning,
                           QStringLiteral("Interrupted undo stopped, the link was kept: ") +
                               record.sourcePath + QStringLiteral(" -> ") + record.targetPath);
    return operation.finish(Outcome::undoStopped);
}

// A forced restore that never brought the data whole to the source: the data stays at the target
// with its mapping, and what stood at the source goes back there from where it was set aside.
RecoveredOperation stopForcedUndo(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    if (operation.entries().holdsAtSource(record.occupantPath, record.occupantIdentity)) {
        if (!operation.sourceIsFree())
            return operation.leaveSourceOccupied();
        operation.entries().placeAtSource(record.occupantPath, {record.occupantIdentity});
    } else if (!operation.entries().holdsAtSource(record.sourcePath, record.occupantIdentity)) {
        return operation.leaveAsFound(
            QStringLiteral("what stood at the source is neither there nor where it was set aside"));
    }
    operation.log().append(
        LogLevel::warning,
        QStringLiteral("Interrupted forced restore stopped; what stood at the source is back, "
                       "the data stays at the target: ") +
            record.sourcePath + QStringLiteral(" -> ") + record.targetPath);
    return operation.finish(Outcome::forcedUndoStopped);
}

} // namespace

RecoveredOperation recoverUndo(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    if (record.settled)
        return operation.finishAtSource(Outcome::leftoversCleared);
    if (record.historyPending)
        return recordUndoHistory(operation);
    if (operation.entries().holdsAtSource(record.sourcePath, record.restoreIdentity))
        return completeUndo(operation);
    const std::optional<InterruptedOperation::Found> sibling =
        record.restorePath.isEmpty() ? std::nullopt
                                     : std::optional<InterruptedOperation::Found>(
                                           operation.entries().find(Side::source, record.restorePath));
    const bool siblingStands = sibling && !sibling->identity.isEmpty();
    // Whole: recorded so once the copy was flushed, or renamed there from the target at once.
    const QStringList whole{record.restoreIdentity, record.itemIdentity};
    if (siblingStands && whole.contains(sibling->identity)) {
        if (!operation.sourceIsFree())
            return operation.leaveSourceOccupied();
        operation.entries().placeAtSource(record.restorePath, whole);
        return completeUndo(operation);
    }
    if (siblingStands && record.administrator)
        return operation.leaveAsFound(QStringLiteral("the data may be whole at either place"));

    switch (operation.volume()) {
    case Volume::away:
        return operation.waitForVolume();
    case Volume::replaced:
        return operation.leaveAsFound(QStringLiteral("another volume or folder stands at the target root"));
    case Volume::recorded:
        break;
    }
    const Target target = operation.target({record.itemIdentity});
    // The copy was whole at the restore path, which only ever gives it up to the source path, and
    // the target no longer holds the item: the data came home, and the target was cleared after it.
    // Only the history was left (a record that could not even be marked so); the folder may have
    // moved on since (migrated again, say), which is no reason to keep its old mapping.
    if (!record.restoreIdentity.isEmpty() && !siblingStands && target != Target::ours)
        return recordUndoHistory(operation);
    // Without the target a copy beside the source that is not known whole proves nothing: the
    // user may have removed the target, or the copy may be all that is left.
    if (target != Target::ours)
        return operation.leaveAsFound(QStringLiteral("the data is not whole at the target"));
    // A forced restore of a record that does not say where the occupant went: it may be anywhere.
    if (record.forced && record.occupantPath.isEmpty())
        return operation.leaveAsFound(
            QStringLiteral("a forced restore may have moved what stood at the source"));
    if (siblingStands) {
        if (sibling->identity != record.restoreSiblingIdentity &&
            !operation.entries().isEmptyAt(Side::source, record.restorePath))
            return operation.leaveAsFound(QStringLiteral("something else stands at the restore path"));
        operation.entries().removeTree(*sibling); // the restore's own copy, cut short
    }
    return record.forced ? stopForcedUndo(operation) : stopUndo(operation);
}

} // namespace orvalink
