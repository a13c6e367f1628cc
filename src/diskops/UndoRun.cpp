#include "diskops/UndoRun.h"

#include "diskops/ActiveProcessService.h"
#include "diskops/CreatedFolders.h"
#include "diskops/ErrorDetails.h"
#include "diskops/HistoryRecordSafety.h"
#include "diskops/MappingHistory.h"
#include "diskops/OccupantMerge.h"
#include "diskops/OperationRecovery.h"
#include "diskops/PlaceholderTest.h"
#include "diskops/RecordedEntries.h"
#include "diskops/RecordedIdentity.h"
#include "diskops/ReservedPaths.h"
#include "diskops/SiblingRestore.h"
#include "diskops/TaskRecording.h"
#include "diskops/UndoCheck.h"
#include "diskops/UndoIncomplete.h"
#include "diskops/UndoNotDone.h"
#include "diskops/UndoWaitsForMigration.h"
#include "model/AppPaths.h"
#include "model/JsonFields.h"
#include "model/MigrationTask.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"
#include "store/HistoryStores.h"
#include "store/JSONLStore.h"
#include "store/LogService.h"

#include <QLoggingCategory>
#include <cerrno>
#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcUndoRun, "orvalink.diskops.undo")

namespace orvalink {

UndoRun::UndoRun(const UndoService& service, LinkMapping mapping, QString anchorUser, UndoAnswers answers)
    : m_service(service), m_files(service.m_privileged, service.m_log), m_mapping(std::move(mapping)),
      m_anchorUser(std::move(anchorUser)), m_answers(answers)
{}

namespace {

// Why a migration a start left waiting is not finished, for the undo's answer.
QString waitingReason(const RecoveredOperation& migration)
{
    if (migration.waitingForVolume)
        return QStringLiteral("its volume is away: ") + *migration.waitingForVolume;
    if (!migration.waitingPaths.isEmpty())
        return QStringLiteral("what changed after it was copied is not in place yet: ") +
               migration.waitingPaths.join(QStringLiteral(", "));
    if (!migration.foundPaths.isEmpty())
        return QStringLiteral("the start left it as found at: ") +
               migration.foundPaths.join(QStringLiteral(", "));
    return QStringLiteral("the log says why");
}

} // namespace

UndoResult UndoRun::execute()
{
    finishWaitingMigration();
    refuse();
    endHolders();
    bringHome();
    settleOccupant();
    return recordUndo();
}

void UndoRun::finishWaitingMigration()
{
    using Outcome = RecoveredOperation::Outcome;
    // A migration a start left waiting may hold the newest versions of the item elsewhere (in its
    // staging folder, held by a program): taking the item home now would leave them behind for good.
    // It is finished first, as a start would; while it cannot be, the undo changes nothing.
    const OperationRecovery recovery(m_service.m_log, m_service.m_volumes);
    QList<RecoveredOperation> finished = recovery.finishMigrationOf(m_mapping.id);
    if (!finished.isEmpty() && finished.constFirst().outcome == Outcome::migrationUnfinished &&
        !finished.constFirst().heldPaths.isEmpty() && m_answers.endPrograms) {
        for (const QString& held : finished.constFirst().heldPaths)
            m_heldEnded +=
                m_service.m_processes.clearHolders(held, false, true, held, OrvalinkError::Operation::undo);
        finished = recovery.finishMigrationOf(m_mapping.id);
    }
    if (finished.isEmpty())
        return;
    const RecoveredOperation& migration = finished.constFirst();
    switch (migration.outcome) {
    case Outcome::migrationCompleted:
    case Outcome::migrationRolledBack:
    case Outcome::leftoversCleared:
    case Outcome::setAside: // an untrusted record, set aside and reported: as if none waited
        return;             // what stands now is judged as for any undo
    default:
        break;
    }
    m_service.m_log.append(LogLevel::warning,
                           QStringLiteral("Undo refused, nothing was changed: the migration of ") +
                               m_mapping.sourcePath + QStringLiteral(" is not finished yet (") +
                               waitingReason(migration) + QLatin1Char(')'));
    if (migration.outcome == Outcome::migrationUnfinished && !migration.heldPaths.isEmpty())
        throw OrvalinkError::sourceInUse(migration.heldPaths.constFirst(), migration.holders,
                                         OrvalinkError::Operation::undo);
    throw UndoWaitsForMigration(m_mapping.sourcePath, waitingReason(migration));
}

void UndoRun::logRefusal(const QString& reason, const QString& target) const
{
    m_service.m_log.append(LogLevel::warning, QStringLiteral("Undo refused, nothing was changed (") + reason +
                                                  QStringLiteral("): ") + m_source + QStringLiteral(" -> ") +
                                                  target);
}

void UndoRun::refuse()
{
    const HistoryRecordPaths paths =
        validateHistoryRecordPaths(m_mapping.sourcePath, m_mapping.targetPath, m_service.m_pathMapping);
    m_source = paths.sourcePath;
    try {
        m_target = currentTargetPath(paths.targetPath, m_mapping.volumeUUID, m_service.m_volumes);
    } catch (const OrvalinkError& refusal) {
        logRefusal(refusal.reason(), paths.targetPath);
        throw;
    }
    if (!platform::fileExists(m_target))
        throw OrvalinkError::undoMappingBroken(m_target);

    m_entry = undoRecordOf(m_mapping, m_source, m_target, m_service.m_mappings.filePath(),
                           m_service.m_tasks.filePath());
    m_entry.sourceLinkText = platform::readSymbolicLink(m_source).value_or(QString());
    m_entry.anchorUser = m_anchorUser;
    try {
        m_migrated = verifyUndoTarget(m_entry, m_service.m_volumes);
    } catch (const OrvalinkError& refusal) {
        logRefusal(refusal.reason(), m_target);
        throw;
    }
    lookAtSource();

    // The last refusal that needs nothing changed: a record that cannot be written. From its first
    // write on, a start after a crash at any moment finds the occupant at the source or aside.
    m_journal.emplace(m_entry);
}

void UndoRun::lookAtSource()
{
    const RecordedEntries::Found found =
        RecordedEntries(m_entry).find(RecordedEntries::Side::source, m_source);
    const mode_t type = found.type;
    if (found.identity.isEmpty())
        m_occupant = SourceOccupant::none;
    else if (type == S_IFLNK)
        m_occupant = SourceOccupant::link;
    else if (type == S_IFDIR && RecordedEntries::isEmpty(found.location))
        m_occupant = SourceOccupant::emptyFolder;
    else
        m_occupant = SourceOccupant::occupied;
    if (m_occupant != SourceOccupant::occupied)
        return;
    if (!m_answers.mode)
        throw OrvalinkError::undoSourceOccupied(m_source);
    // Two real directories are merged once the data is back; anything else is kept whole.
    OccupantAside aside;
    aside.merge = *m_answers.mode == ForcedUndoRestoreMode::append && type == S_IFDIR &&
                  m_migrated == platform::EntryKind::directory;
    aside.path = makeReservedPath(m_source, aside.merge ? ReservedSuffix::appendPreserved
                                                        : ReservedSuffix::overwritePreserved);
    m_plannedAside = aside;
    m_entry.forced = true;
    m_entry.occupantPath = aside.path;
    m_entry.occupantIdentity = found.identity;
    m_entry.occupantMerge = aside.merge;
}

void UndoRun::endHolders()
{
    // A program that writes into the folder through its link while the data is copied home would
    // leave what it writes on the volume. Named after the user's own path: the volume's path means
    // nothing to them here. Only our own user's programs are ended, and only when nothing that is
    // never ended holds the item too.
    try {
        m_terminated = m_heldEnded + m_service.m_processes.clearHolders(
                                         m_target, m_migrated == platform::EntryKind::directory,
                                         m_answers.endPrograms, m_source, OrvalinkError::Operation::undo);
        m_terminated.removeDuplicates();
        m_terminated.sort();
    } catch (...) {
        m_journal->finish(); // nothing has moved
        throw;
    }
}

void UndoRun::bringHome()
{
    try {
        if (m_plannedAside) {
            moveOccupantAside();
            m_asideMoved = true;
        } else if (m_occupant == SourceOccupant::emptyFolder) {
            m_files.removePlaceholder(m_source);
        }
        m_files.createDirectories(platform::parentPath(m_source));
        // A program may have opened something of it since the look above: restoreThroughSibling
        // looks again before the volume's copy goes.
        m_leftovers = restoreThroughSibling(m_files, *m_journal, {m_journal->record().itemIdentity});
    } catch (...) {
        putBackAndThrow(std::current_exception());
    }
}

void UndoRun::putBackAndThrow(const std::exception_ptr& failure)
{
    if (m_asideMoved)
        putOccupantBack();
    try {
        if (!platform::entryExists(m_source) && platform::entryExists(m_target))
            m_files.createSymbolicLink(m_source, m_target);
    } catch (const std::exception& error) {
        qCWarning(lcUndoRun) << "could not put the link back:" << error.what();
    }
    // Data left at the restore sibling is found only through the record: the next start takes it up.
    const QString& restore = m_journal->record().restorePath;
    if (restore.isEmpty() || !platform::entryExists(restore) || platform::entryExists(m_target))
        m_journal->finish();
    try {
        std::rethrow_exception(failure);
    } catch (const OrvalinkError&) {
        throw;
    } catch (const std::exception& error) {
        if (nothingChanged()) {
            const UndoNotDone notDone(m_source, m_target, underlyingOf(error));
            m_service.m_log.append(LogLevel::warning, notDone.description());
            throw notDone;
        }
        throw OrvalinkError::rollbackFailed(m_source, underlyingOf(error));
    }
}

bool UndoRun::nothingChanged() const
{
    // The data whole at the target, nothing of it at the restore sibling, and the source path as
    // the user left it: the link that leads to the data (or the occupant, back in its place).
    const RecordedEntries entries(m_entry);
    const QString& restore = m_journal->record().restorePath;
    if (entries.identityAt(RecordedEntries::Side::target, m_target) != m_entry.itemIdentity ||
        (!restore.isEmpty() && platform::entryExists(restore)))
        return false;
    if (m_plannedAside)
        return entries.identityAt(RecordedEntries::Side::source, m_source) == m_entry.occupantIdentity;
    return platform::readSymbolicLink(m_source).has_value();
}

void UndoRun::moveOccupantAside()
{
    // Only the entry the record names moves: another one put at the source meanwhile stays there.
    const JournalRecord& record = m_journal->record();
    const RecordedEntries entries(*m_journal);
    const RecordedEntries::Found occupant = entries.find(RecordedEntries::Side::source, m_source);
    const std::optional<platform::EntryIdentity> identity = entryIdentityOf(record.occupantIdentity);
    if (!identity || occupant.identity != record.occupantIdentity)
        throw platform::PlatformError::fromErrno(EBUSY, m_source);
    const RecordedEntries::Found free = entries.find(RecordedEntries::Side::source, record.occupantPath);
    FallbackFileOperations::MoveSteps steps;
    steps.beforeAdministrator = [&] {
        if (entries.identityAt(RecordedEntries::Side::source, m_source) != record.occupantIdentity)
            throw platform::PlatformError::fromErrno(EBUSY, m_source);
    };
    m_files.move(occupant.location, free.location, *identity, steps);
}

void UndoRun::putOccupantBack() const
{
    const QString& aside = m_plannedAside->path;
    try {
        if (!platform::entryExists(m_source))
            platform::renameNoReplace(aside, m_source);
    } catch (const std::exception& error) {
        qCWarning(lcUndoRun) << "what stood at the source stays at" << aside << error.what();
        m_service.m_log.append(LogLevel::warning,
                               QStringLiteral("Undo failed; what stood at the source was kept at: ") + aside);
    }
}

void UndoRun::settleOccupant()
{
    if (!m_plannedAside)
        return;
    ForceUndoRestoreSummary summary;
    summary.requestedMode = *m_answers.mode;
    summary.preservedPath = m_plannedAside->path;
    if (m_plannedAside->merge) {
        // The occupant's items join the restored data, which keeps its own names; a merge that fails
        // leaves the occupant whole beside it, or, when it cannot be put back, partly inside (logged).
        std::optional<AppendMergeOutcome> merged;
        try {
            merged = mergeOccupantIntoRestored(m_files, m_service.m_log, m_plannedAside->path, m_source);
        } catch (const std::exception&) {
            m_splitMerge = true;
        }
        if (merged) {
            summary.preservedPath.reset();
            summary.didAppendMerge = true;
            summary.mergedExistingItemCount = merged->mergedItemCount;
            summary.renamedConflictCount = merged->conflictCount;
        }
    }
    m_summary = summary;
}

UndoResult UndoRun::recordUndo()
{
    UndoResult result{m_mapping,
                      QDateTime(),
                      m_summary,
                      m_terminated,
                      m_target,
                      m_leftovers.changedPaths,
                      m_leftovers.copyPaths};
    LogService& log = m_service.m_log;
    if (!m_leftovers.copyPaths.isEmpty())
        log.append(LogLevel::warning, QStringLiteral("Copies of what is back at ") + m_source +
                                          QStringLiteral(" could not be removed from ") + m_target +
                                          QStringLiteral(" (") + m_leftovers.copyFailure +
                                          QStringLiteral("): ") +
                                          m_leftovers.copyPaths.join(QStringLiteral(", ")));
    // A merge cut short for good leaves the user's folder in two places: the record is then never
    // finished here, so the next start finds the data at the source and finishes the merge (and
    // records the undo, unless the task below has its id already).
    const auto finishRecord = [this] {
        if (!m_splitMerge)
            m_journal->finish();
    };
    if (result.leftBehind()) {
        // Not an undo: part of the data is still on the volume. The mapping stays, so the window
        // still lists the record and a forced restore can bring the rest home.
        log.append(LogLevel::warning,
                   QStringLiteral("The data is back at ") + m_source +
                       QStringLiteral(", but what was written to it or in use during the undo stayed at ") +
                       m_target + QStringLiteral(": ") + result.leftBehindPaths.join(QStringLiteral(", ")) +
                       QStringLiteral(". The record stays in the history."));
        if (m_summary && m_summary->preservedPath)
            log.append(LogLevel::warning,
                       QStringLiteral("What stood at the source was kept at: ") + *m_summary->preservedPath);
        finishRecord();
        return result;
    }
    RecordedEntries(*m_journal).removeEmptyFolders(foldersBelowTargetRoot(m_source, m_target));

    const QUuid mappingID = m_mapping.id;
    try {
        AppPaths::ensureBaseDirectories();
        JSONLStore::removeWhere<LinkMapping>(m_service.m_mappings.filePath(),
                                             [&](const LinkMapping& each) { return each.id == mappingID; });
    } catch (const platform::PlatformError& error) {
        // The data is back at the source but the mapping stays: the record is kept (not finished),
        // saying that only the history is left, so the next operation or start that can write the
        // history removes the mapping and records the undo, whatever became of the folder since.
        // After a split merge it stays as it is: the start that finishes the merge records the undo.
        try {
            if (!m_splitMerge)
                m_journal->update([](JournalRecord& changed) { changed.historyPending = true; });
        } catch (const std::exception& unwritten) {
            // The record as it stands still leads a start to the data at the source.
            qCWarning(lcUndoRun) << "could not mark the record as waiting for the history:"
                                 << unwritten.what();
        }
        const UndoIncomplete incomplete(m_mapping, m_target, error.message());
        log.append(LogLevel::warning, incomplete.description());
        throw incomplete;
    }

    result.revertedAt = json::wholeSeconds(QDateTime::currentDateTimeUtc());
    recordTask(result.revertedAt);
    finishRecord();
    return result;
}

void UndoRun::recordTask(const QDateTime& at) const
{
    MigrationTask task;
    task.id = m_journal->record().id;
    task.sourcePath = m_mapping.sourcePath;
    task.targetPath = m_mapping.targetPath;
    task.anchorUser = m_anchorUser;
    task.volumeUUID = m_mapping.volumeUUID;
    task.status = TaskStatus::rolledBack;
    task.startedAt = at;
    task.endedAt = at;
    recordUndone(task, m_service.m_tasks.filePath(), m_service.m_log);
}

} // namespace orvalink
