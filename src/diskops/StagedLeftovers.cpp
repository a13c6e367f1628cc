#include "diskops/StagedLeftovers.h"

#include "diskops/FallbackFileOperations.h"
#include "diskops/LeftoversAtTarget.h"
#include "diskops/NamedVersions.h"
#include "diskops/NewerLeftovers.h"
#include "diskops/OperationSiblings.h"
#include "diskops/RecordedIdentity.h"
#include "diskops/ReservedPaths.h"
#include "platform/FileIO.h"
#include "platform/ProcessTable.h"

#include <algorithm>
#include <sys/stat.h>

namespace orvalink {

namespace {

using Side = RecordedEntries::Side;
using Target = InterruptedOperation::Target;

// Written down before anything of the staged original is put in place beside `root`, so that a start
// after a kill knows an earlier one may have begun, and which versions stood there before.
void recordWaitingLeftovers(InterruptedOperation& operation, const QString& root)
{
    if (operation.record().newerLeftovers.isEmpty())
        operation.journal().update([&root](JournalRecord& entry) {
            entry.newerLeftovers = waitingLeftovers(entry.stagingPath);
            noteStandingVersions(entry, root);
        });
}

} // namespace

std::optional<QString> sourceUnlikeStaged(const InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    const InterruptedOperation::Found staged = operation.entries().find(Side::source, record.stagingPath);
    if (staged.identity.isEmpty() || staged.identity != record.itemIdentity)
        return std::nullopt; // nothing of it is left to put in place
    const InterruptedOperation::Found there = operation.entries().find(Side::source, record.sourcePath);
    if (!there.identity.isEmpty() && there.type != S_IFLNK && there.type == staged.type)
        return std::nullopt;
    return QStringLiteral("what stands at the source path is not the ") +
           (staged.type == S_IFDIR ? QStringLiteral("folder") : QStringLiteral("file")) +
           QStringLiteral(" that came home: ") + record.sourcePath;
}

std::optional<SourceLeftovers> placeNewerAtSource(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    SourceLeftovers leftovers;
    // The versions earlier processes kept, however many: they named them for the migration.
    const bool begunBefore = !record.newerLeftovers.isEmpty();
    if (begunBefore)
        leftovers.olderVersions = findOperationSiblings(record.sourcePath, record.id).olderVersions;
    const InterruptedOperation::Found staged = operation.entries().find(Side::source, record.stagingPath);
    leftovers.stood = !staged.identity.isEmpty() && staged.identity == record.itemIdentity;
    if (leftovers.stood) {
        const RecordedEntries::Remainder left =
            operation.entries().removeDuplicate(staged, Side::source, record.sourcePath);
        leftovers.held = heldLeftovers(left.held, record.stagingPath);
        if (!left.stayed.isEmpty() && leftovers.held.isEmpty()) {
            recordWaitingLeftovers(operation, record.sourcePath);
            const PlacedLeftovers placed =
                putNewerLeftoversInPlace(FallbackFileOperations::withoutAdministrator(operation.log()),
                                         record.stagingPath, record.sourcePath, record.id);
            if (!placed.placed)
                return std::nullopt;
            leftovers.olderVersions += placed.olderVersions;
        }
    }
    // A record written before the versions were named for the migration names their places.
    leftovers.olderVersions +=
        reservedBesideLeftovers(record.sourcePath, record.newerLeftovers, ReservedSuffix::appendPreserved);
    leftovers.olderVersions.removeDuplicates();
    leftovers.olderVersions.sort();
    leftovers.olderVersions = notNamedYet(record, leftovers.olderVersions);
    return leftovers;
}

bool resumeSingleFileMerge(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    const RecordedEntries& entries = operation.entries();
    if (record.newerLeftovers != QStringList{QString()} || record.restoreIdentity.isEmpty() ||
        !entries.identityAt(Side::source, record.sourcePath).isEmpty() ||
        !entries.holdsAtSource(record.stagingPath, record.itemIdentity))
        return false;
    const QStringList siblings = existingReservedPaths(record.sourcePath);
    const bool cameHome = std::any_of(siblings.cbegin(), siblings.cend(), [&](const QString& path) {
        return isOperationReservedName(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1),
                                       ReservedSuffix::appendPreserved, record.id) &&
               entries.holdsAtSource(path, record.restoreIdentity);
    });
    if (!cameHome)
        return false;
    // A rename: a program that still writes the file goes on writing it at the user's path.
    entries.placeAtSource(record.stagingPath, {record.itemIdentity});
    return true;
}

void finishRootArrival(InterruptedOperation& operation)
{
    const JournalRecord& record = operation.record();
    if (record.arrivingIdentity.isEmpty() || operation.target({record.arrivingIdentity}) == Target::ours)
        return;
    const Target older = operation.target({record.targetIdentity, record.itemIdentity});
    if (older != Target::absent && older != Target::ours)
        return;
    const RecordedEntries& entries = operation.entries();
    for (const QString& path : existingReservedPaths(record.targetPath)) {
        if (!isOperationReservedName(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1),
                                     ReservedSuffix::arriving, record.id) ||
            operation.targetSide(path, {record.arrivingIdentity}) != Target::ours)
            continue;
        if (older == Target::ours) {
            const QString aside =
                makeReservedPath(record.targetPath, ReservedSuffix::appendPreserved, record.id);
            platform::renameNoReplace(entries.find(Side::target, record.targetPath).location,
                                      entries.find(Side::target, aside).location);
        }
        platform::renameNoReplace(entries.find(Side::target, path).location,
                                  entries.find(Side::target, record.targetPath).location);
        return;
    }
}

void placeNewerAtTarget(InterruptedOperation& operation, const RecordedEntries::Found& staged,
                        RecoveredOperation& done)
{
    const JournalRecord& record = operation.record();
    const RecordedEntries::Remainder left =
        operation.entries().removeDuplicate(staged, Side::target, record.targetPath);
    const bool begunBefore = !record.newerLeftovers.isEmpty();
    if (left.stayed.isEmpty() && !begunBefore)
        return;
    recordWaitingLeftovers(operation, record.targetPath);
    LeftoverArrival arrival;
    arrival.staging = record.stagingPath;
    arrival.target = record.targetPath;
    arrival.operation = record.id;
    arrival.waiting = record.newerLeftovers;
    arrival.begunBefore = begunBefore;
    arrival.rootArrival = [&operation](const QString& path) {
        operation.journal().update(
            [&](JournalRecord& entry) { entry.arrivingIdentity = entryIdentityText(path); });
    };
    arrival.inUse = [&record] {
        return platform::entriesInUse(record.stagingPath);
    };
    const ArrivedLeftovers arrived = putLeftoversAtTarget(arrival);
    done.waitingPaths = arrived.waiting;
    done.foundPaths += arrived.duplicates;
    done.olderVersions = notNamedYet(record, arrived.olderVersions);
    done.heldPaths = arrived.held.paths;
    done.holders = arrived.held.programs;
}

QString keptSentences(const QStringList& olderVersions, const HeldLeftovers& held)
{
    QString message;
    if (!olderVersions.isEmpty())
        message +=
            QStringLiteral(". What changed after it was copied took its place; the versions it replaced "
                           "were kept at: ") +
            olderVersions.join(QStringLiteral(", "));
    if (!held.isEmpty())
        message += QStringLiteral(". Held by ") + held.programs.join(QStringLiteral(", ")) +
                   QStringLiteral(", left where it is for a later start: ") +
                   held.paths.join(QStringLiteral(", "));
    return message;
}

} // namespace orvalink
