#include "diskops/UndoRecovery.h"

#include "diskops/InterruptedOperation.h"
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

// The restored data stands at the source path.
RecoveredOperation completeUndo(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    operation.removeExchangedLink();
    JSONLStore::removeWhere<LinkMapping>(
        record.mappingsFile, [&](const LinkMapping& each) { return each.id == record.mappingID; });
    operation.recordTask(TaskStatus::rolledBack, std::nullopt);
    operation.log().append(LogLevel::info, QStringLiteral("Manual undo completed: ") + record.targetPath +
                                               QStringLiteral(" -> ") + record.sourcePath);
    const bool forced = record.forced;
    const QString source = record.sourcePath;
    RecoveredOperation done = operation.finishAtSource(Outcome::undoCompleted);
    // A forced restore sets what stood at the source aside until the data is back: the user is told
    // where it is, whether or not it was merged in before the stop.
    if (forced) {
        for (const QString& path : existingReservedPaths(source)) {
            if (!done.foundPaths.contains(path))
                done.foundPaths.append(path);
        }
    }
    return done;
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

} // namespace

RecoveredOperation recoverUndo(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    if (record.settled)
        return operation.finishAtSource(Outcome::leftoversCleared);
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
    // Without the target a copy beside the source that is not known whole proves nothing: the
    // user may have removed the target, or the copy may be all that is left.
    if (operation.target({record.itemIdentity}) != Target::ours)
        return operation.leaveAsFound(QStringLiteral("the data is not whole at the target"));
    // A forced restore may have set the occupant of the source aside or merged it into the target.
    if (record.forced)
        return operation.leaveAsFound(
            QStringLiteral("a forced restore may have moved what stood at the source"));
    if (siblingStands) {
        if (sibling->identity != record.restoreSiblingIdentity &&
            !operation.entries().isEmptyAt(Side::source, record.restorePath))
            return operation.leaveAsFound(QStringLiteral("something else stands at the restore path"));
        operation.entries().removeTree(*sibling); // the restore's own copy, cut short
    }
    return stopUndo(operation);
}

} // namespace orvalink
