#include "diskops/InterruptedOperation.h"

#include "diskops/CreatedFolders.h"
#include "diskops/PrivilegeFallback.h"
#include "diskops/RecordedPlaces.h"
#include "diskops/RecordedTaskIds.h"
#include "diskops/ReservedPaths.h"
#include "diskops/Rollback.h"
#include "diskops/TaskRecording.h"
#include "diskops/VolumeService.h"
#include "model/JsonFields.h"
#include "model/MigrationTask.h"
#include "model/OrvalinkError.h"
#include "platform/EntryStatus.h"
#include "platform/MountTable.h"
#include "platform/Placeholder.h"
#include "platform/PlatformError.h"
#include "platform/SymbolicLinks.h"
#include "store/JSONLStore.h"
#include "store/LogService.h"

#include <QFile>
#include <QLoggingCategory>
#include <algorithm>
#include <stdexcept>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcInterrupted, "orvalink.diskops.recovery")

namespace orvalink {

namespace {

// Whether anything stands at `path`; an entry that cannot even be looked at counts as standing.
bool standsAt(const QString& path)
{
    try {
        return platform::entryStatus(path).kind != platform::EntryKind::none;
    } catch (const std::exception&) {
        return true;
    }
}

void appendOnce(QStringList& list, const QString& path)
{
    if (!path.isEmpty() && !list.contains(path))
        list.append(path);
}

// What to name for the target side: the target path when anything stands there, else the folder
// the operation's target root hangs from.
QString standingAtTarget(const JournalRecord& entry)
{
    return standsAt(entry.targetPath) ? entry.targetPath : targetAnchorPath(entry);
}

} // namespace

InterruptedOperation::InterruptedOperation(OperationJournal& journal, LogService& log,
                                           const VolumeService& volumes, RecordedTaskIds& tasks)
    : m_journal(journal), m_log(log), m_volumes(volumes), m_tasks(tasks), m_entries(journal)
{}

bool InterruptedOperation::sameOnVolume(const QString& now, const QString& identity) const
{
    if (now.isEmpty() || identity.isEmpty())
        return false;
    // A disk plugged in again may get another device number, and another disk the old one. A
    // volume whose UUID cannot be read now cannot be confirmed as the recorded one at all.
    const QString recordedUUID = record().volumeUUID;
    if (!isKnownVolumeUUID(recordedUUID))
        return now == identity;
    const QString currentUUID = m_volumes.resolveVolumeUUID(record().targetRoot);
    return isKnownVolumeUUID(currentUUID) && recordedUUID.trimmed() == currentUUID.trimmed() &&
           sameEntryOnAnyDevice(now, identity);
}

InterruptedOperation::Volume InterruptedOperation::volume() const
{
    // A clone copied block by block has the recorded UUID and identities too: what stands at the
    // recorded place may be either.
    const QString& uuid = record().volumeUUID;
    if (const std::optional<QString> shared =
            sharedVolumeUUIDProblem(uuid, m_volumes.mountPathsWithUUID(uuid)))
        throw std::runtime_error(shared->toStdString());
    const std::optional<QString> mountPoint = m_volumes.mountPoint(record().targetRoot);
    if (mountPoint && !platform::MountTable::current().mountedAt(*mountPoint))
        return Volume::away;
    const QString anchor = m_entries.identityAt(Side::target, targetAnchorPath(record()));
    if (anchor.isEmpty())
        return Volume::away;
    return sameOnVolume(anchor, record().targetRootIdentity) ? Volume::recorded : Volume::replaced;
}

InterruptedOperation::Target InterruptedOperation::target(const QStringList& ours) const
{
    return targetSide(record().targetPath, ours);
}

InterruptedOperation::Target InterruptedOperation::targetSide(const QString& path,
                                                              const QStringList& ours) const
{
    return judgeTarget(m_entries.find(Side::target, path), ours);
}

InterruptedOperation::Target InterruptedOperation::judgeTarget(const Found& there,
                                                               const QStringList& ours) const
{
    if (there.identity.isEmpty())
        return Target::absent;
    if (std::any_of(ours.cbegin(), ours.cend(),
                    [&](const QString& identity) { return sameOnVolume(there.identity, identity); }))
        return Target::ours;
    return RecordedEntries::isEmpty(there.location) ? Target::empty : Target::other;
}

bool InterruptedOperation::sourceIsFree() const
{
    const Found source = m_entries.find(Side::source, record().sourcePath);
    switch (RecordedEntries::kindOf(source.location)) {
    case platform::EntryKind::none:
        return true;
    case platform::EntryKind::symbolicLink:
        return isOperationLink(platform::readSymbolicLink(source.location));
    case platform::EntryKind::directory:
        return RecordedEntries::isEmpty(source.location);
    default:
        return false;
    }
}

void InterruptedOperation::clearSource() const
{
    const Found source = m_entries.find(Side::source, record().sourcePath);
    if (!source.identity.isEmpty())
        platform::removePlaceholder(source.location);
}

bool InterruptedOperation::linkSource() const
{
    if (!sourceIsFree())
        return false;
    const Found source = m_entries.find(Side::source, record().sourcePath);
    if (RecordedEntries::kindOf(source.location) == platform::EntryKind::symbolicLink)
        return true; // this operation's own link
    if (!source.identity.isEmpty())
        platform::removePlaceholder(source.location);
    platform::createSymbolicLink(source.location, record().targetPath);
    return true;
}

void InterruptedOperation::removeExchangedLink() const
{
    if (record().restorePath.isEmpty())
        return;
    const Found sibling = m_entries.find(Side::source, record().restorePath);
    if (RecordedEntries::kindOf(sibling.location) == platform::EntryKind::symbolicLink &&
        isOperationLink(platform::readSymbolicLink(sibling.location)))
        platform::removePlaceholder(sibling.location);
}

bool InterruptedOperation::isOperationLink(const std::optional<QString>& text) const
{
    return text && (*text == record().targetPath ||
                    (!record().sourceLinkText.isEmpty() && *text == record().sourceLinkText));
}

void InterruptedOperation::recordTask(TaskStatus status, const std::optional<OrvalinkError>& error) const
{
    if (const std::optional<MigrationTask> task = unrecordedTask(status, error)) {
        JSONLStore::append(*task, record().tasksFile);
        noteTaskRecorded();
    }
}

void InterruptedOperation::recordUndoneTask() const
{
    const std::optional<MigrationTask> task = unrecordedTask(TaskStatus::rolledBack, std::nullopt);
    if (task && recordUndone(*task, record().tasksFile, m_log))
        noteTaskRecorded();
}

void InterruptedOperation::noteTaskRecorded() const
{
    m_tasks.add(record().tasksFile, record().id);
}

std::optional<MigrationTask>
InterruptedOperation::unrecordedTask(TaskStatus status, const std::optional<OrvalinkError>& error) const
{
    const JournalRecord& entry = record();
    if (m_tasks.contains(entry.tasksFile, entry.id))
        return std::nullopt;
    const QDateTime now = json::wholeSeconds(QDateTime::currentDateTimeUtc());
    MigrationTask task;
    task.id = entry.id;
    task.sourcePath = entry.sourcePath;
    task.targetPath = entry.targetPath;
    task.anchorUser = entry.anchorUser;
    task.volumeUUID = entry.volumeUUID;
    task.status = status;
    switch (entry.kind) {
    case JournalKind::migration:
        task.startedAt = entry.startedAt;
        break;
    case JournalKind::undo:
        task.startedAt = now; // the task of an undo records the moment it was finished
        break;
    }
    task.endedAt = now;
    if (error) {
        task.errorCode = error->code();
        task.errorMessage = rollbackMessage(*error, true, std::nullopt);
    }
    return task;
}

RecoveredOperation InterruptedOperation::finishAtSource(RecoveredOperation::Outcome done,
                                                        const HeldLeftovers& held)
{
    const JournalRecord& entry = record();
    RecoveredOperation result = answer(done);
    result.heldPaths = held.paths;
    result.holders = held.programs;
    const TargetSide leftover = targetSideOf(entry);
    // A migration that never began to move left nothing at the target but empty folders, which are
    // not worth keeping the record for when they cannot be reached.
    if (!leftover.mayHoldData) {
        try {
            if (volume() == Volume::recorded) {
                m_entries.removeEmptyFolders(leftover.folders);
                // A migration killed while it tried its volume left the try's folder there.
                if (entry.kind == JournalKind::migration)
                    m_entries.removeProbeLeftovers(probedFolderPath(entry));
            }
        } catch (const std::exception& error) {
            qCWarning(lcInterrupted) << "could not reach the empty folders at the target:" << error.what();
        }
        return finish(done); // it never moved: no staged original is left to hold
    }

    // The data is whole at the source and recorded so: whatever the target side refuses now (a
    // read-only volume, say) stays for the user and the next start, and the answer still says what
    // was done.
    std::optional<QString> failure;
    try {
        clearTargetSide(leftover, result);
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
        result.needsAdministrator = shouldUsePrivilegeFallback(error);
        appendOnce(result.foundPaths, standingAtTarget(entry));
    }

    if (result.waitingForVolume || !result.foundPaths.isEmpty() || !result.heldPaths.isEmpty()) {
        if (done == RecoveredOperation::Outcome::leftoversCleared)
            result.outcome = RecoveredOperation::Outcome::leftAsFound; // nothing changed this time
        try {
            if (!entry.settled)
                m_journal.update([](JournalRecord& changed) { changed.settled = true; });
        } catch (const std::exception& error) {
            qCWarning(lcInterrupted) << "could not record the settled operation:" << error.what();
        }
        m_log.append(
            LogLevel::warning,
            QStringLiteral("Interrupted ") + journalKindText(entry.kind) +
                QStringLiteral(": the data is whole at ") + entry.sourcePath +
                (result.waitingForVolume ? QStringLiteral("; waiting for the volume of ") + entry.targetRoot +
                                               QStringLiteral(" to clear what it left there")
                 : result.foundPaths.isEmpty()
                     ? QString()
                     : QStringLiteral("; left as found") +
                           (failure ? QStringLiteral(" (") + *failure + QLatin1Char(')') : QString()) +
                           QStringLiteral(": ") + result.foundPaths.join(QStringLiteral(", "))) +
                (result.heldPaths.isEmpty() ? QString()
                                            : QStringLiteral("; held by programs, left for a later start: ") +
                                                  result.heldPaths.join(QStringLiteral(", "))));
        return result;
    }
    if (!result.keptPaths.isEmpty()) {
        m_log.append(LogLevel::warning, QStringLiteral("Kept what changed after it was copied: ") +
                                            result.keptPaths.join(QStringLiteral(", ")));
    }
    m_journal.finish();
    return result;
}

InterruptedOperation::TargetSide InterruptedOperation::targetSideOf(const JournalRecord& entry)
{
    switch (entry.kind) {
    case JournalKind::migration:
        return {entry.moving,
                {entry.targetIdentity, entry.itemIdentity},
                !entry.arrived,
                entry.createdDirectories};
    case JournalKind::undo:
        return {
            true, {entry.itemIdentity}, false, foldersBelowTargetRoot(entry.sourcePath, entry.targetPath)};
    }
    throw std::logic_error("an operation record of an unknown kind");
}

void InterruptedOperation::clearTargetSide(const TargetSide& leftover, RecoveredOperation& result) const
{
    const JournalRecord& entry = record();
    const Volume side = volume();
    if (side == Volume::away) {
        result.waitingForVolume = entry.targetRoot;
        return;
    }
    if (side == Volume::replaced) {
        appendOnce(result.foundPaths, standingAtTarget(entry));
        return;
    }
    const Found there = m_entries.find(Side::target, entry.targetPath);
    switch (judgeTarget(there, leftover.identities)) {
    case Target::absent:
        break;
    case Target::ours:
    case Target::empty:
        if (leftover.cutShort) {
            m_entries.removeTree(there); // a copy cut short, never linked to
        } else {
            // A whole copy that was in use: only what the source holds unchanged goes, and nothing a
            // program still holds.
            const RecordedEntries::Remainder left =
                m_entries.removeDuplicate(there, Side::source, entry.sourcePath);
            for (const QString& path : left.stayed) {
                if (!left.held.contains(path))
                    result.keptPaths.append(path);
            }
            const HeldLeftovers held = heldLeftovers(left.held, entry.targetPath);
            result.heldPaths += held.paths;
            result.holders += held.programs;
            result.holders.removeDuplicates();
        }
        break;
    case Target::other:
        result.foundPaths.append(entry.targetPath);
        break;
    }
    m_entries.removeEmptyFolders(leftover.folders);
}

RecoveredOperation InterruptedOperation::finish(RecoveredOperation::Outcome outcome)
{
    RecoveredOperation result = answer(outcome);
    m_journal.finish();
    return result;
}

RecoveredOperation InterruptedOperation::leaveAsFound(const QString& why)
{
    RecoveredOperation left = answer(RecoveredOperation::Outcome::leftAsFound);
    left.foundPaths = foundPaths(record());
    m_log.append(LogLevel::error, QStringLiteral("Interrupted ") + journalKindText(record().kind) +
                                      QStringLiteral(" left as found (") + why + QStringLiteral("): ") +
                                      left.foundPaths.join(QStringLiteral(", ")));
    return left;
}

RecoveredOperation InterruptedOperation::leaveSourceOccupied()
{
    return leaveAsFound(QStringLiteral("something else stands at the source path"));
}

RecoveredOperation InterruptedOperation::waitForVolume()
{
    RecoveredOperation waiting = answer(RecoveredOperation::Outcome::leftAsFound);
    waiting.waitingForVolume = record().targetRoot;
    m_log.append(LogLevel::warning, QStringLiteral("Interrupted ") + journalKindText(record().kind) +
                                        QStringLiteral(": waiting for the volume of ") + record().targetRoot +
                                        QStringLiteral(": nothing was changed at ") + record().sourcePath);
    return waiting;
}

RecoveredOperation InterruptedOperation::answer(RecoveredOperation::Outcome outcome) const
{
    RecoveredOperation result;
    result.outcome = outcome;
    result.kind = record().kind;
    result.sourcePath = record().sourcePath;
    result.targetPath = record().targetPath;
    return result;
}

QStringList InterruptedOperation::foundPaths(const JournalRecord& entry)
{
    QStringList found;
    for (const QString& path : {entry.sourcePath, entry.stagingPath, entry.targetPath, entry.restorePath}) {
        if (!path.isEmpty() && standsAt(path))
            appendOnce(found, path);
    }
    if (targetHiddenByMount(entry))
        appendOnce(found, entry.targetPath);
    // What the operation, or an earlier one, kept aside beside either path.
    for (const QString& path :
         existingReservedPaths(entry.sourcePath) + existingReservedPaths(entry.targetPath))
        appendOnce(found, path);
    return found;
}

} // namespace orvalink
