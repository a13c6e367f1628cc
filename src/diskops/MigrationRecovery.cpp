#include "diskops/MigrationRecovery.h"

#include "diskops/FallbackFileOperations.h"
#include "diskops/InterruptedOperation.h"
#include "diskops/LeftoversAtTarget.h"
#include "diskops/NewerLeftovers.h"
#include "diskops/RecordedIdentity.h"
#include "model/JsonFields.h"
#include "model/LinkMapping.h"
#include "model/MigrationTask.h"
#include "model/OrvalinkError.h"
#include "store/JSONLStore.h"
#include "store/LogService.h"

namespace orvalink {

namespace {

using Outcome = RecoveredOperation::Outcome;
using Volume = InterruptedOperation::Volume;
using Target = InterruptedOperation::Target;
using Side = InterruptedOperation::Side;

QStringList ownTargetIdentities(const JournalRecord& record)
{
    return {record.targetIdentity, record.itemIdentity};
}

// What stays of the staged original once its duplicates went is newer than the data that came
// home from the target: it takes its place there, as the migration would have put it, each older
// version beside it (their places are recorded first). False when it could not: it stays then.
bool placeNewerAtSource(InterruptedOperation& operation, QStringList& olderVersions)
{
    const JournalRecord& record = operation.record();
    const InterruptedOperation::Found staged = operation.entries().find(Side::source, record.stagingPath);
    if (!staged.identity.isEmpty() && staged.identity == record.itemIdentity &&
        !operation.entries().removeDuplicate(staged, Side::source, record.sourcePath).isEmpty()) {
        if (record.newerLeftovers.isEmpty())
            operation.journal().update(
                [](JournalRecord& entry) { entry.newerLeftovers = waitingLeftovers(entry.stagingPath); });
        const PlacedLeftovers placed =
            putNewerLeftoversInPlace(FallbackFileOperations::withoutAdministrator(operation.log()),
                                     record.stagingPath, record.sourcePath);
        if (!placed.placed)
            return false;
    }
    olderVersions =
        reservedBesideLeftovers(record.sourcePath, record.newerLeftovers, ReservedSuffix::appendPreserved);
    return true;
}

// What stays of the staged original once its duplicates went is newer than the whole copy at the
// target: it takes its place there, as the migration would have brought it along (see
// putLeftoversAtTarget).
void placeNewerAtTarget(InterruptedOperation& operation, const InterruptedOperation::Found& staged,
                        RecoveredOperation& done)
{
    const JournalRecord& record = operation.record();
    const QStringList left = operation.entries().removeDuplicate(staged, Side::target, record.targetPath);
    if (left.isEmpty() && record.newerLeftovers.isEmpty())
        return;
    if (record.newerLeftovers.isEmpty())
        operation.journal().update(
            [](JournalRecord& entry) { entry.newerLeftovers = waitingLeftovers(entry.stagingPath); });
    const ArrivedLeftovers arrived = putLeftoversAtTarget(
        record.stagingPath, record.targetPath, record.newerLeftovers, [&](const QString& path) {
            operation.journal().update(
                [&](JournalRecord& entry) { entry.targetIdentity = entryIdentityText(path); });
        });
    done.keptPaths = arrived.stayed;
    done.olderVersions = arrived.olderVersions;
}

RecoveredOperation rolledBack(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    QStringList olderVersions;
    if (!placeNewerAtSource(operation, olderVersions))
        return operation.leaveAsFound(
            QStringLiteral("what changed after the copy could not be put in place"));
    const OrvalinkError error = OrvalinkError::moveFailed(
        record.sourcePath, record.targetPath,
        {QStringLiteral("The migration was interrupted before it finished"), 0, false, {}});
    operation.recordTask(TaskStatus::rolledBack, error);
    QString message = QStringLiteral("Interrupted migration rolled back: ") + record.sourcePath;
    if (!olderVersions.isEmpty())
        message +=
            QStringLiteral(". What changed after it was copied took its place; the versions it replaced "
                           "were kept at: ") +
            olderVersions.join(QStringLiteral(", "));
    operation.log().append(LogLevel::warning, message);
    RecoveredOperation done = operation.finishAtSource(Outcome::migrationRolledBack);
    done.olderVersions = olderVersions;
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
    operation.recordTask(TaskStatus::completed, std::nullopt);
    QString message = QStringLiteral("Migration completed: ") + record.sourcePath + QStringLiteral(" -> ") +
                      record.targetPath;
    if (!done.olderVersions.isEmpty())
        message +=
            QStringLiteral(". What changed after it was copied took its place; the versions it replaced "
                           "were kept at: ") +
            done.olderVersions.join(QStringLiteral(", "));
    if (!done.keptPaths.isEmpty())
        message += QStringLiteral(". Kept what changed after it was copied: ") +
                   done.keptPaths.join(QStringLiteral(", "));
    if (!done.foundPaths.isEmpty())
        message += QStringLiteral(". Left as found: ") + done.foundPaths.join(QStringLiteral(", "));
    operation.log().append(done.keptPaths.isEmpty() && done.foundPaths.isEmpty() &&
                                   done.olderVersions.isEmpty()
                               ? LogLevel::info
                               : LogLevel::warning,
                           message);
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
    switch (operation.target(ownTargetIdentities(record))) {
    case Target::ours:
        return complete(operation);
    case Target::absent:
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
        return operation.finishAtSource(Outcome::leftoversCleared);
    return record.arrived ? goForward(operation) : goBack(operation);
}

} // namespace orvalink
