#include "diskops/MigrationRecovery.h"

#include "diskops/InterruptedOperation.h"
#include "diskops/NamedVersions.h"
#include "diskops/RecordedIdentity.h"
#include "diskops/StagedLeftovers.h"
#include "model/JsonFields.h"
#include "model/LinkMapping.h"
#include "model/MigrationTask.h"
#include "model/OrvalinkError.h"
#include "store/JSONLStore.h"
#include "store/LogService.h"

#include <optional>

namespace orvalink {

namespace {

using Outcome = RecoveredOperation::Outcome;
using Volume = InterruptedOperation::Volume;
using Target = InterruptedOperation::Target;
using Side = InterruptedOperation::Side;

QStringList ownTargetIdentities(const JournalRecord& record)
{
    QStringList own{record.targetIdentity, record.itemIdentity};
    if (!record.arrivingIdentity.isEmpty())
        own.append(record.arrivingIdentity); // a single file's newer copy, which took the target's place
    return own;
}

// The data is whole at the source path: what changed after the copy takes its place, and the
// target side is cleared. For a record `settled` at an earlier start (whose task is written), only
// what was left then.
RecoveredOperation rolledBack(InterruptedOperation& operation, bool settled = false)
{
    const JournalRecord& record = operation.record();
    if (const std::optional<QString> unlike = sourceUnlikeStaged(operation))
        return operation.leaveAsFound(*unlike);
    const std::optional<SourceLeftovers> leftovers = placeNewerAtSource(operation);
    if (!leftovers)
        return operation.leaveAsFound(
            QStringLiteral("what changed after the copy could not be put in place"));
    const Outcome outcome =
        settled && !leftovers->stood ? Outcome::leftoversCleared : Outcome::migrationRolledBack;
    if (outcome == Outcome::migrationRolledBack) {
        const OrvalinkError error = OrvalinkError::moveFailed(
            record.sourcePath, record.targetPath,
            {QStringLiteral("The migration was interrupted before it finished"), 0, false, {}});
        operation.recordTask(TaskStatus::rolledBack, error);
        operation.log().append(LogLevel::warning,
                               QStringLiteral("Interrupted migration rolled back: ") + record.sourcePath +
                                   keptSentences(leftovers->olderVersions, leftovers->held));
    }
    // Named now, in case the record stays for a later start.
    noteNamed(operation.journal(), leftovers->olderVersions);
    RecoveredOperation done = operation.finishAtSource(outcome, leftovers->held);
    done.olderVersions = leftovers->olderVersions;
    return done;
}

// The whole copy stands at the target: the link, the mapping and the task finish the migration, and
// of the original only what the copy holds unchanged is removed.
RecoveredOperation complete(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    if (!operation.sourceIsFree())
        return operation.leaveSourceOccupied();
    RecoveredOperation done = operation.answer(Outcome::migrationCompleted);
    done.completedInstead = !record.restorePath.isEmpty();
    const InterruptedOperation::Found staged = operation.entries().find(Side::source, record.stagingPath);
    if (!staged.identity.isEmpty() && staged.identity != record.itemIdentity)
        done.foundPaths.append(record.stagingPath);
    else
        placeNewerAtTarget(operation, staged, done);
    // The source may have been taken while the staging folder was cleared.
    if (!operation.linkSource())
        return operation.leaveSourceOccupied();
    bool recorded = false;
    JSONLStore::forEachRecord<LinkMapping>(record.mappingsFile, [&](const LinkMapping& each) {
        recorded = each.id == record.mappingID;
        return !recorded;
    });
    if (!recorded) {
        const QDateTime linkedAt = json::wholeSeconds(QDateTime::currentDateTimeUtc());
        JSONLStore::append(LinkMapping{record.mappingID, record.sourcePath, record.targetPath,
                                       record.anchorUser, record.volumeUUID, linkedAt, linkedAt},
                           record.mappingsFile);
    }
    // Newer versions that wait where they are (held by a program, or refused by the volume) are not
    // at the user's path yet: the migration is not complete, and a later start finishes it.
    const bool unfinished = !done.waitingPaths.isEmpty() || !done.heldPaths.isEmpty();
    QString message =
        (unfinished ? QStringLiteral("Migration linked, not complete yet: ")
                    : QStringLiteral("Migration completed: ")) +
        record.sourcePath + QStringLiteral(" -> ") + record.targetPath +
        (done.completedInstead ? QStringLiteral(" (it was being taken back when the application "
                                                "stopped: completed instead)")
                               : QString()) +
        keptSentences(done.olderVersions, {done.heldPaths, done.holders});
    if (!done.waitingPaths.isEmpty())
        message += QStringLiteral(". What changed after it was copied could not be put in place yet: ") +
                   done.waitingPaths.join(QStringLiteral(", "));
    if (!done.foundPaths.isEmpty())
        message += QStringLiteral(". Left as found: ") + done.foundPaths.join(QStringLiteral(", "));
    operation.log().append(!unfinished && done.foundPaths.isEmpty() && done.olderVersions.isEmpty()
                               ? LogLevel::info
                               : LogLevel::warning,
                           message);
    if (unfinished) {
        noteNamed(operation.journal(), done.olderVersions);
        done.outcome = Outcome::migrationUnfinished;
        return done;
    }
    operation.recordTask(TaskStatus::completed, std::nullopt);
    operation.journal().finish();
    return done;
}

// The copy at the target was not yet whole: the data goes back to the source path.
RecoveredOperation goBack(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    if (operation.entries().holdsAtSource(record.sourcePath, record.itemIdentity))
        return rolledBack(operation);

    const bool staged = operation.entries().holdsAtSource(record.stagingPath, record.itemIdentity);
    if (!staged) {
        // The staged item left as a whole: renamed on one file system, or moved by the
        // administrator's command, which removes its source only after a whole copy.
        if (!record.moving)
            return operation.leaveAsFound(QStringLiteral("the data is at none of its places"));
        const Volume side = operation.volume();
        if (side == Volume::away)
            return operation.waitForVolume();
        const Target there =
            side == Volume::recorded ? operation.target(ownTargetIdentities(record)) : Target::other;
        const bool movedWhole =
            there == Target::ours ||
            (there != Target::absent && side == Volume::recorded && record.administrator &&
             operation.entries().identityAt(Side::source, record.stagingPath).isEmpty());
        if (movedWhole)
            return complete(operation);
        return operation.leaveAsFound(QStringLiteral("the data is at none of its places"));
    }
    if (record.moving && record.administrator) {
        // The administrator's command may have been removing the staged item after a whole copy.
        const Volume side = operation.volume();
        if (side == Volume::away)
            return operation.waitForVolume();
        if (side != Volume::recorded || operation.target({}) != Target::absent)
            return operation.leaveAsFound(QStringLiteral("the data may be whole at either place"));
    }
    // A forced mode may have merged part of the staged item into an occupant of the target.
    if (record.forced && record.moving)
        return operation.leaveAsFound(QStringLiteral("a forced migration may have merged the data"));
    if (!operation.sourceIsFree())
        return operation.leaveSourceOccupied();
    operation.entries().placeAtSource(record.stagingPath, {record.itemIdentity});
    return rolledBack(operation);
}

// A failure after the copy was whole had begun to bring the data back through a restore sibling.
std::optional<RecoveredOperation> finishRestore(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    if (operation.entries().holdsAtSource(record.sourcePath, record.restoreIdentity)) {
        operation.removeExchangedLink();
        return rolledBack(operation);
    }
    if (record.restorePath.isEmpty())
        return std::nullopt;
    const InterruptedOperation::Found sibling = operation.entries().find(Side::source, record.restorePath);
    if (sibling.identity.isEmpty())
        return std::nullopt;
    // Whole: recorded so once the copy was flushed, or renamed there from the target at once.
    const QStringList whole{record.restoreIdentity, record.itemIdentity};
    if (whole.contains(sibling.identity)) {
        if (!operation.sourceIsFree())
            return operation.leaveSourceOccupied();
        operation.entries().placeAtSource(record.restorePath, whole);
        return rolledBack(operation);
    }
    if (record.administrator)
        return operation.leaveAsFound(QStringLiteral("the data may be whole at either place"));
    const Volume side = operation.volume();
    if (side == Volume::away)
        return operation.waitForVolume();
    // A copy cut short is this restore's own, and may go, while the target still holds the data.
    const bool ours = sibling.identity == record.restoreSiblingIdentity ||
                      operation.entries().isEmptyAt(Side::source, record.restorePath);
    if (!ours || side != Volume::recorded || operation.target(ownTargetIdentities(record)) != Target::ours)
        return operation.leaveAsFound(QStringLiteral("the data may be whole at either place"));
    // The target is removed only once the copy stands in place: the partial copy goes.
    operation.entries().removeTree(sibling);
    return std::nullopt;
}

// The whole copy stood at the target, on disk.
RecoveredOperation goForward(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    if (operation.entries().holdsAtSource(record.sourcePath,
                                          record.itemIdentity)) // renamed back whole on one file system
        return rolledBack(operation);
    if (resumeSingleFileMerge(operation))
        return rolledBack(operation);
    if (std::optional<RecoveredOperation> restored = finishRestore(operation))
        return *restored;
    switch (operation.volume()) {
    case Volume::away:
        return operation.waitForVolume();
    case Volume::replaced:
        return operation.leaveAsFound(QStringLiteral("another volume or folder stands at the target root"));
    case Volume::recorded:
        break;
    }
    finishRootArrival(operation);
    switch (operation.target(ownTargetIdentities(record))) {
    case Target::ours:
        return complete(operation);
    case Target::absent:
        // What stands at the source may be the data, brought home by other means: not "nowhere".
        if (!operation.entries().identityAt(Side::source, record.sourcePath).isEmpty())
            return operation.leaveAsFound(QStringLiteral("the copy is gone from the target path, and what "
                                                         "stands at the source path is not the operation's"));
        return operation.leaveAsFound(QStringLiteral("the data is at none of its places"));
    case Target::empty:
    case Target::other:
        break;
    }
    return operation.leaveAsFound(QStringLiteral("something else stands at the target path"));
}

} // namespace

RecoveredOperation recoverMigration(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    if (record.settled)
        return rolledBack(operation, true);
    return record.arrived ? goForward(operation) : goBack(operation);
}

} // namespace orvalink
