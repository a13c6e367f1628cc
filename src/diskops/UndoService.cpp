#include "diskops/UndoService.h"

#include "diskops/ActiveProcessService.h"
#include "diskops/CreatedFolders.h"
#include "diskops/ErrorDetails.h"
#include "diskops/FallbackFileOperations.h"
#include "diskops/HistoryRecordSafety.h"
#include "diskops/MappingHistory.h"
#include "diskops/OccupantMerge.h"
#include "diskops/OperationJournal.h"
#include "diskops/OperationRecovery.h"
#include "diskops/PlaceholderTest.h"
#include "diskops/RecordedEntries.h"
#include "diskops/RecordedIdentity.h"
#include "diskops/ReservedPaths.h"
#include "diskops/SiblingRestore.h"
#include "diskops/UndoCheck.h"
#include "diskops/UndoIncomplete.h"
#include "model/AppPaths.h"
#include "model/JsonFields.h"
#include "model/MigrationTask.h"
#include "model/OrvalinkError.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/ProcessTable.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"
#include "store/HistoryStores.h"
#include "store/JSONLStore.h"
#include "store/LogService.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcUndo, "orvalink.diskops.undo")

namespace orvalink {

namespace {

// After a failed step the user's path must lead to the data again: the link goes back while the
// path is free and the data is still at the target.
void relinkIfPossible(const FallbackFileOperations& files, const QString& source, const QString& target)
{
    try {
        if (!platform::entryExists(source) && platform::entryExists(target))
            files.createSymbolicLink(source, target);
    } catch (const std::exception& error) {
        qCWarning(lcUndo) << "could not put the link back:" << error.what();
    }
}

void logRefusal(LogService& log, const OrvalinkError& refusal, const QString& source, const QString& target)
{
    log.append(LogLevel::warning, QStringLiteral("Undo refused, nothing was changed (") + refusal.reason() +
                                      QStringLiteral("): ") + source + QStringLiteral(" -> ") + target);
}

} // namespace

UndoService::UndoService(const MappingStore& mappings, const TaskStore& tasks, LogService& log,
                         const PrivilegedFileOperationService& privileged,
                         const PathMappingService& pathMapping, const VolumeService& volumes,
                         const ActiveProcessService& processes)
    : m_mappings(mappings), m_tasks(tasks), m_log(log), m_privileged(privileged), m_pathMapping(pathMapping),
      m_volumes(volumes), m_processes(processes)
{}

QList<LinkMapping> UndoService::undoHistory(qsizetype limit) const
{
    return newestMappings(m_mappings, limit);
}

UndoResult UndoService::undoLastMigration(const QString& anchorUser) const
{
    recordWaitingHistories();
    QList<LinkMapping> newest = newestMappings(m_mappings, 1);
    if (newest.isEmpty())
        throw OrvalinkError::undoTargetNotFound();
    const LinkMapping mapping = newest.constFirst();
    return undoMigration(mapping, newest, anchorUser, std::nullopt);
}

UndoResult UndoService::undoMigration(const QUuid& mappingID, const QString& anchorUser) const
{
    return undoByID(mappingID, anchorUser, std::nullopt, false);
}

UndoResult UndoService::forceUndoMigration(const QUuid& mappingID, const QString& anchorUser,
                                           ForcedUndoRestoreMode mode) const
{
    return undoByID(mappingID, anchorUser, mode, false);
}

UndoResult UndoService::undoMigrationEndingHolders(const QUuid& mappingID, const QString& anchorUser,
                                                   std::optional<ForcedUndoRestoreMode> mode) const
{
    return undoByID(mappingID, anchorUser, mode, true);
}

UndoResult UndoService::undoByID(const QUuid& mappingID, const QString& anchorUser,
                                 std::optional<ForcedUndoRestoreMode> mode, bool terminateHolders) const
{
    recordWaitingHistories();
    const std::optional<LinkMapping> found = findMapping(m_mappings, mappingID);
    if (!found)
        throw OrvalinkError::undoTargetNotFound();
    const LinkMapping mapping = *found;
    QList<LinkMapping> mappings{mapping};
    return undoMigration(mapping, mappings, anchorUser, mode, terminateHolders);
}

UndoResult UndoService::undoMigration(const LinkMapping& mapping, QList<LinkMapping>& allMappings,
                                      const QString& anchorUser, std::optional<ForcedUndoRestoreMode> mode,
                                      bool terminateHolders) const
{
    const HistoryRecordPaths paths =
        validateHistoryRecordPaths(mapping.sourcePath, mapping.targetPath, m_pathMapping);
    const QString& source = paths.sourcePath;
    QString target;
    try {
        target = currentTargetPath(paths.targetPath, mapping.volumeUUID, m_volumes);
    } catch (const OrvalinkError& refusal) {
        logRefusal(m_log, refusal, source, paths.targetPath);
        throw;
    }
    if (!platform::fileExists(target))
        throw OrvalinkError::undoMappingBroken(target);

    JournalRecord entry = undoRecord(mapping, source, target, anchorUser);
    platform::EntryKind migrated = platform::EntryKind::none;
    try {
        migrated = verifyUndoTarget(entry, m_volumes);
    } catch (const OrvalinkError& refusal) {
        logRefusal(m_log, refusal, source, target);
        throw;
    }

    // What stands at the source is judged once, and every later step acts on that answer: a second
    // look could answer otherwise (a program writing into an empty folder, a listing that fails).
    const SourceOccupant occupant = sourceOccupantOf(source);
    if (occupant == SourceOccupant::occupied && !mode)
        throw OrvalinkError::undoSourceOccupied(source);

    const FallbackFileOperations files(m_privileged, m_log);
    // The migration's link stays until the restored data replaces it in one step. An empty
    // directory goes now; an occupant steps aside for the data. Where it goes is in the record from
    // its first write on: a start after a crash at any moment finds it at the source or there, and
    // brings it back or merges it in.
    std::optional<OccupantAside> planned;
    if (occupant == SourceOccupant::occupied) {
        planned = planOccupantAside(source, *mode, migrated);
        entry.forced = true;
        entry.occupantPath = planned->path;
        entry.occupantIdentity = RecordedEntries(entry).identityAt(RecordedEntries::Side::source, source);
        entry.occupantMerge = planned->merge;
    }
    OperationJournal journal(entry);

    // Every refusal that needs nothing changed has come, the last one a record that cannot be
    // written: only now may programs be ended. A program that writes into the folder through its
    // link while the data is copied home would leave what it writes on the volume. Named after the
    // user's own path: the volume's path means nothing to them here.
    QStringList terminated;
    try {
        terminated = m_processes.clearHolders(target, migrated == platform::EntryKind::directory,
                                              terminateHolders, source, OrvalinkError::Operation::undo);
    } catch (...) {
        journal.finish(); // nothing has moved
        throw;
    }
    std::optional<OccupantAside> aside;
    QStringList leftovers;
    try {
        if (planned) {
            moveOccupantAside(files, journal, source);
            aside = planned;
        } else if (occupant == SourceOccupant::emptyFolder) {
            files.removePlaceholder(source);
        }
        files.createDirectories(platform::parentPath(source));
        try {
            // A program may have opened something of it since the look above: what it holds once
            // the data is home stays on the volume, as what it writes there would be lost.
            leftovers = restoreThroughSibling(files, journal, {journal.record().itemIdentity},
                                              [&target] { return platform::entriesInUse(target); });
        } catch (const std::exception& error) {
            throw OrvalinkError::rollbackFailed(source, underlyingOf(error));
        }
    } catch (...) {
        if (aside)
            putOccupantBack(*aside, source);
        relinkIfPossible(files, source, target);
        // Data left at the restore sibling is found only through the record: the next start takes
        // it up.
        const QString& restore = journal.record().restorePath;
        if (restore.isEmpty() || !platform::entryExists(restore) || platform::entryExists(target))
            journal.finish();
        throw;
    }
    // A merge of the occupant cut short for good leaves the user's folder in two places: the record
    // is then never finished here, so the next start finds the data at the source and finishes the
    // merge (and records the undo, unless the task below has its id already).
    bool splitMerge = false;
    const std::optional<ForceUndoRestoreSummary> summary =
        aside ? std::optional(settleOccupant(files, *aside, source, splitMerge)) : std::nullopt;
    if (!leftovers.isEmpty()) {
        // Not an undo: part of the data is still on the volume. The mapping stays, so the window
        // still lists the record and a forced restore can bring the rest home.
        const UndoIncomplete incomplete(UndoIncomplete::Kind::leftBehind, mapping, target, QString(),
                                        leftovers);
        m_log.append(LogLevel::warning, incomplete.description());
        if (summary && summary->preservedPath)
            m_log.append(LogLevel::warning,
                         QStringLiteral("What stood at the source was kept at: ") + *summary->preservedPath);
        if (!splitMerge)
            journal.finish();
        throw incomplete;
    }
    RecordedEntries(journal).removeEmptyFolders(foldersBelowTargetRoot(source, target));

    allMappings.removeIf([&](const LinkMapping& each) { return each.id == mapping.id; });
    try {
        AppPaths::ensureBaseDirectories();
        JSONLStore::removeWhere<LinkMapping>(m_mappings.filePath(),
                                             [&](const LinkMapping& each) { return each.id == mapping.id; });
    } catch (const platform::PlatformError& error) {
        // The data is back at the source but the mapping stays: the record is kept (not finished),
        // saying that only the history is left, so the next operation or start that can write the
        // history removes the mapping and records the undo, whatever became of the folder since.
        // After a split merge it stays as it is: the start that finishes the merge records the undo.
        try {
            if (!splitMerge)
                journal.update([](JournalRecord& changed) { changed.historyPending = true; });
        } catch (const std::exception& unwritten) {
            // The record as it stands still leads a start to the data at the source.
            qCWarning(lcUndo) << "could not mark the record as waiting for the history:" << unwritten.what();
        }
        const UndoIncomplete incomplete(UndoIncomplete::Kind::notRecorded, mapping, target, error.message(),
                                        {});
        m_log.append(LogLevel::warning, incomplete.description());
        throw incomplete;
    }

    const QDateTime now = json::wholeSeconds(QDateTime::currentDateTimeUtc());
    recordUndo(mapping, anchorUser, now, journal.record().id);
    if (!splitMerge)
        journal.finish();
    return {mapping, now, summary, terminated};
}

void UndoService::recordWaitingHistories() const
{
    // An undo that could not write the history earlier is recorded first: the mapping it undid must
    // not be taken for one still to undo.
    OperationRecovery(m_log, m_volumes).recordWaitingHistories();
}

JournalRecord UndoService::undoRecord(const LinkMapping& mapping, const QString& source,
                                      const QString& target, const QString& anchorUser) const
{
    JournalRecord entry = undoRecordOf(mapping, source, target, m_mappings.filePath(), m_tasks.filePath());
    entry.sourceLinkText = platform::readSymbolicLink(source).value_or(QString());
    entry.anchorUser = anchorUser;
    return entry;
}

void UndoService::recordUndo(const LinkMapping& mapping, const QString& anchorUser, const QDateTime& at,
                             const QUuid& taskID) const
{
    MigrationTask task;
    task.id = taskID;
    task.sourcePath = mapping.sourcePath;
    task.targetPath = mapping.targetPath;
    task.anchorUser = anchorUser;
    task.volumeUUID = mapping.volumeUUID;
    task.status = TaskStatus::rolledBack;
    task.startedAt = at;
    task.endedAt = at;
    try {
        JSONLStore::append(task, m_tasks.filePath());
    } catch (...) {
        // The data is back; a lost task line changes nothing about that.
    }
    m_log.append(LogLevel::info, QStringLiteral("Manual undo completed: ") + mapping.targetPath +
                                     QStringLiteral(" -> ") + mapping.sourcePath);
}

UndoService::OccupantAside UndoService::planOccupantAside(const QString& source, ForcedUndoRestoreMode mode,
                                                          platform::EntryKind migrated)
{
    // Two real directories are merged once the data is back; anything else is kept whole.
    OccupantAside aside;
    aside.mode = mode;
    aside.merge = mode == ForcedUndoRestoreMode::append && platform::isRealDirectory(source) &&
                  migrated == platform::EntryKind::directory;
    aside.path = makeReservedPath(source, aside.merge ? ReservedSuffix::appendPreserved
                                                      : ReservedSuffix::overwritePreserved);
    return aside;
}

void UndoService::moveOccupantAside(const FallbackFileOperations& files, const OperationJournal& journal,
                                    const QString& source)
{
    // Only the entry the record names moves: another one put at the source meanwhile stays there.
    const JournalRecord& record = journal.record();
    const RecordedEntries entries(journal);
    const RecordedEntries::Found occupant = entries.find(RecordedEntries::Side::source, source);
    const std::optional<platform::EntryIdentity> identity = entryIdentityOf(record.occupantIdentity);
    if (!identity || occupant.identity != record.occupantIdentity)
        throw platform::PlatformError::fromErrno(EBUSY, source);
    const RecordedEntries::Found free = entries.find(RecordedEntries::Side::source, record.occupantPath);
    FallbackFileOperations::MoveSteps steps;
    steps.beforeAdministrator = [&] {
        if (entries.identityAt(RecordedEntries::Side::source, source) != record.occupantIdentity)
            throw platform::PlatformError::fromErrno(EBUSY, source);
    };
    files.move(occupant.location, free.location, *identity, steps);
}

void UndoService::putOccupantBack(const OccupantAside& aside, const QString& source) const
{
    try {
        if (!platform::entryExists(source))
            platform::renameNoReplace(aside.path, source);
    } catch (const std::exception& error) {
        qCWarning(lcUndo) << "what stood at the source stays at" << aside.path << error.what();
        m_log.append(LogLevel::warning,
                     QStringLiteral("Undo failed; what stood at the source was kept at: ") + aside.path);
    }
}

ForceUndoRestoreSummary UndoService::settleOccupant(const FallbackFileOperations& files,
                                                    const OccupantAside& aside, const QString& source,
                                                    bool& splitMerge) const
{
    ForceUndoRestoreSummary summary;
    summary.requestedMode = aside.mode;
    summary.preservedPath = aside.path;
    if (!aside.merge)
        return summary;
    // The occupant's items join the restored data, which keeps its own names; a merge that fails
    // leaves the occupant whole beside it, or, when it cannot be put back, partly inside (logged).
    std::optional<AppendMergeOutcome> merged;
    try {
        merged = mergeOccupantIntoRestored(files, m_log, aside.path, source);
    } catch (const std::exception&) {
        splitMerge = true;
    }
    if (merged) {
        summary.preservedPath.reset();
        summary.didAppendMerge = true;
        summary.mergedExistingItemCount = merged->mergedItemCount;
        summary.renamedConflictCount = merged->conflictCount;
    }
    return summary;
}

UndoService::SourceOccupant UndoService::sourceOccupantOf(const QString& source)
{
    switch (platform::entryStatus(source).kind) {
    case platform::EntryKind::none:
        return SourceOccupant::none;
    case platform::EntryKind::symbolicLink:
        return SourceOccupant::link;
    default:
        return isPlaceholder(source) ? SourceOccupant::emptyFolder : SourceOccupant::occupied;
    }
}

} // namespace orvalink
