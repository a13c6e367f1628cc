#include "diskops/OperationRecovery.h"

#include "diskops/CreatedFolders.h"
#include "diskops/FallbackFileOperations.h"
#include "diskops/PlaceholderTest.h"
#include "diskops/Rollback.h"
#include "diskops/SiblingRestore.h"
#include "model/JsonFields.h"
#include "model/LinkMapping.h"
#include "model/MigrationTask.h"
#include "model/OrvalinkError.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"
#include "platform/TreeRemoval.h"
#include "store/JSONLStore.h"
#include "store/LogService.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

namespace orvalink {

namespace {

QDateTime now()
{
    return json::wholeSeconds(QDateTime::currentDateTimeUtc());
}

bool hasIdentity(const QString& path, const QString& identity)
{
    return !identity.isEmpty() && entryIdentityText(path) == identity;
}

void removeIfLink(const QString& path)
{
    if (!path.isEmpty() && platform::entryStatus(path).kind == platform::EntryKind::symbolicLink)
        ::unlink(QFile::encodeName(path).constData());
}

void removeIfPresent(const QString& path)
{
    if (!path.isEmpty() && platform::entryExists(path))
        platform::removeTree(path);
}

template <typename Record> bool holdsRecord(const QString& file, const QUuid& id)
{
    const QList<Record> records = JSONLStore::loadAll<Record>(file);
    return std::any_of(records.cbegin(), records.cend(), [&](const Record& each) { return each.id == id; });
}

// Appends the task of the operation unless an earlier attempt already did.
void recordTask(const JournalRecord& record, TaskStatus status, std::optional<OrvalinkError> error)
{
    if (holdsRecord<MigrationTask>(record.tasksFile, record.id))
        return;
    MigrationTask task;
    task.id = record.id;
    task.sourcePath = record.sourcePath;
    task.targetPath = record.targetPath;
    task.anchorUser = record.anchorUser;
    task.volumeUUID = record.volumeUUID;
    task.status = status;
    task.startedAt = record.kind == JournalKind::undo ? now() : record.startedAt;
    task.endedAt = record.kind == JournalKind::undo ? task.startedAt : now();
    if (error) {
        task.errorCode = error->code();
        task.errorMessage = rollbackMessage(*error, true, std::nullopt);
    }
    JSONLStore::append(task, record.tasksFile);
}

// The hidden reserved siblings of `path` (".<name>.orvalink-<suffix>-<UUID>"), sorted.
QStringList reservedSiblingsOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return {};
    const QDir parent(slash == 0 ? QStringLiteral("/") : path.left(slash));
    const QString pattern = QLatin1Char('.') + path.mid(slash + 1) + QStringLiteral(".orvalink-*");
    QStringList found;
    for (const QString& name : parent.entryList(
             {pattern}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name))
        found.append(parent.filePath(name));
    return found;
}

// Where the restored item stands, for an operation that brings the data back from the target.
struct RestoreState {
    bool placed = false;  // at the source path
    bool whole = false;   // whole at the restore sibling, not yet in place
    bool partial = false; // something of ours at the restore sibling that is no whole copy
    bool ambiguous = false;
};

RestoreState restoreStateOf(const JournalRecord& record)
{
    RestoreState state;
    if (record.restorePath.isEmpty())
        return state;
    state.placed = record.restorePlaced || hasIdentity(record.sourcePath, record.restoreIdentity);
    if (state.placed || !platform::entryExists(record.restorePath))
        return state;
    const bool targetExists = platform::entryExists(record.targetPath);
    // A target that is missing together with its folder may only be on a volume that is not
    // mounted now: that proves nothing.
    const bool targetGone = !targetExists && platform::entryExists(platform::parentPath(record.targetPath));
    if (hasIdentity(record.restorePath, record.restoreIdentity))
        state.whole = true;
    else if (targetGone && !record.administrator) // renamed over whole: a rename has no middle
        state.whole = true;
    else if (record.administrator || !targetExists)
        state.ambiguous = true; // the administrator's move may have been copying or removing
    else
        state.partial = true; // the target is removed only once the copy stands in place
    return state;
}

} // namespace

OperationRecovery::OperationRecovery(const PrivilegedFileOperationService& privileged, LogService& log)
    : m_privileged(privileged), m_log(log)
{}

QList<RecoveredOperation> OperationRecovery::recoverInterruptedOperations() const
{
    QList<RecoveredOperation> recovered;
    for (const QString& path : OperationJournal::recordPaths()) {
        std::optional<OperationJournal> journal;
        try {
            journal = OperationJournal::claim(path);
        } catch (const std::exception& error) {
            m_log.append(LogLevel::error,
                         QStringLiteral("Unreadable record of an interrupted operation left as "
                                        "found: ") +
                             path + QStringLiteral(" (") + QString::fromUtf8(error.what()) +
                             QLatin1Char(')'));
            RecoveredOperation unreadable;
            unreadable.foundPaths = {path};
            recovered.append(unreadable);
            continue;
        }
        if (!journal)
            continue; // its process is still at work, or it has just ended
        try {
            recovered.append(recover(*journal));
        } catch (const std::exception& error) {
            recovered.append(leaveAsFound(journal->record(), QString::fromUtf8(error.what())));
        }
    }
    return recovered;
}

RecoveredOperation OperationRecovery::recover(OperationJournal& journal) const
{
    return journal.record().kind == JournalKind::migration ? recoverMigration(journal) : recoverUndo(journal);
}

RecoveredOperation OperationRecovery::recoverMigration(OperationJournal& journal) const
{
    const JournalRecord& record = journal.record();
    const bool targetExists = platform::entryExists(record.targetPath);
    if (record.arrived) {
        // The whole item stood at the target, on disk, before anything of the staged item went.
        const RestoreState restore = restoreStateOf(record);
        if (restore.placed)
            return rollBackMigration(journal, true);
        if (restore.whole) {
            placeRestored(journal);
            return rollBackMigration(journal, true);
        }
        if (restore.ambiguous)
            return leaveAsFound(record, QStringLiteral("the data may be whole at either place"));
        if (targetExists) {
            if (restore.partial)
                removeIfPresent(record.restorePath);
            return completeMigration(journal);
        }
        if (hasIdentity(record.sourcePath, record.itemIdentity)) // renamed back on one file system
            return rollBackMigration(journal, false);
        return leaveAsFound(record, QStringLiteral("the data is at none of its places"));
    }

    if (hasIdentity(record.sourcePath, record.itemIdentity))
        return rollBackMigration(journal, false);
    if (hasIdentity(record.stagingPath, record.itemIdentity)) {
        if (targetExists && record.administrator)
            return leaveAsFound(record, QStringLiteral("the data may be whole at either place"));
        // A forced mode may have merged part of the staged item into an occupant of the target.
        if (record.forced && record.moving)
            return leaveAsFound(record, QStringLiteral("a forced migration may have merged the data"));
        const FallbackFileOperations files(m_privileged, m_log);
        const MigrationRollback rollback(files, m_log);
        if (record.moving) {
            // Until the copy was whole and on disk the staged item stayed untouched; what stands at
            // the target is this migration's partial copy.
            if (targetExists)
                platform::removeTree(record.targetPath);
            rollback.rollback(record.sourcePath, record.targetPath, record.stagingPath);
        } else {
            // Nothing went to the target yet: whatever stands there is not the migration's.
            if (platform::entryExists(record.sourcePath)) {
                if (isPlaceholder(record.sourcePath))
                    files.removePlaceholder(record.sourcePath);
                else
                    rollback.preserveRollbackConflict(record.sourcePath);
            }
            files.move(record.stagingPath, record.sourcePath);
        }
        return rollBackMigration(journal, false);
    }
    // The staged item is gone without the copy having been recorded: a rename took it whole.
    if (targetExists && record.moving)
        return completeMigration(journal);
    return leaveAsFound(record, QStringLiteral("the data is at none of its places"));
}

void OperationRecovery::placeRestored(OperationJournal& journal) const
{
    JournalRecord& record = journal.record();
    // Its identity tells the next start, should this one be cut short too, that it was whole.
    if (record.restoreIdentity.isEmpty()) {
        record.restoreIdentity = entryIdentityText(record.restorePath);
        journal.write();
    }
    placeAtSource(FallbackFileOperations(m_privileged, m_log), record.restorePath, record.sourcePath);
    record.restorePlaced = true;
    journal.write();
}

RecoveredOperation OperationRecovery::completeMigration(OperationJournal& journal) const
{
    const JournalRecord& record = journal.record();
    const FallbackFileOperations files(m_privileged, m_log);
    if (record.arrived)
        removeIfPresent(record.stagingPath); // what the move had not yet removed of the original
    const platform::EntryKind occupant = platform::entryStatus(record.sourcePath).kind;
    const bool linked = occupant == platform::EntryKind::symbolicLink &&
                        platform::readSymbolicLink(record.sourcePath) == record.targetPath;
    if (!linked) {
        if (occupant != platform::EntryKind::none) {
            if (!isPlaceholder(record.sourcePath))
                return leaveAsFound(record, QStringLiteral("something else stands at the source path"));
            files.removePlaceholder(record.sourcePath);
        }
        files.createSymbolicLink(record.sourcePath, record.targetPath);
    }
    if (!holdsRecord<LinkMapping>(record.mappingsFile, record.mappingID)) {
        const QDateTime linkedAt = now();
        JSONLStore::append(LinkMapping{record.mappingID, record.sourcePath, record.targetPath,
                                       record.anchorUser, record.volumeUUID, linkedAt, linkedAt},
                           record.mappingsFile);
    }
    recordTask(record, TaskStatus::completed, std::nullopt);
    m_log.append(LogLevel::info, QStringLiteral("Migration completed: ") + record.sourcePath +
                                     QStringLiteral(" -> ") + record.targetPath);
    const RecoveredOperation done{RecoveredOperation::Outcome::migrationCompleted,
                                  record.kind,
                                  record.sourcePath,
                                  record.targetPath,
                                  {}};
    journal.finish();
    return done;
}

RecoveredOperation OperationRecovery::rollBackMigration(OperationJournal& journal, bool removeTarget) const
{
    const JournalRecord& record = journal.record();
    removeIfLink(record.restorePath); // the link the restored item replaced
    if (removeTarget)
        removeIfPresent(record.targetPath); // a copy of what now stands at the source path
    removeEmptyFolders(record.createdDirectories);
    const OrvalinkError error = OrvalinkError::moveFailed(
        record.sourcePath, record.targetPath,
        {QStringLiteral("The migration was interrupted before it finished"), 0, false, {}});
    recordTask(record, TaskStatus::rolledBack, error);
    m_log.append(LogLevel::warning,
                 QStringLiteral("Interrupted migration rolled back: ") + record.sourcePath);
    const RecoveredOperation done{RecoveredOperation::Outcome::migrationRolledBack,
                                  record.kind,
                                  record.sourcePath,
                                  record.targetPath,
                                  {}};
    journal.finish();
    return done;
}

RecoveredOperation OperationRecovery::recoverUndo(OperationJournal& journal) const
{
    const JournalRecord& record = journal.record();
    const RestoreState restore = restoreStateOf(record);
    if (restore.placed)
        return completeUndo(journal);
    if (restore.whole) {
        placeRestored(journal);
        return completeUndo(journal);
    }
    if (restore.ambiguous)
        return leaveAsFound(record, QStringLiteral("the data may be whole at either place"));
    if (!platform::entryExists(record.targetPath))
        return leaveAsFound(record, QStringLiteral("the data is at none of its places"));
    // A forced restore may have set the occupant of the source aside or merged it into the target.
    if (record.forced)
        return leaveAsFound(record,
                            QStringLiteral("a forced restore may have moved what stood at the source"));
    if (restore.partial)
        removeIfPresent(record.restorePath);
    return stopUndo(journal);
}

RecoveredOperation OperationRecovery::completeUndo(OperationJournal& journal) const
{
    const JournalRecord& record = journal.record();
    removeIfLink(record.restorePath);
    removeIfPresent(record.targetPath);
    removeEmptyFolders(foldersBelowTargetRoot(record.sourcePath, record.targetPath));
    JSONLStore::removeWhere<LinkMapping>(
        record.mappingsFile, [&](const LinkMapping& each) { return each.id == record.mappingID; });
    recordTask(record, TaskStatus::rolledBack, std::nullopt);
    m_log.append(LogLevel::info, QStringLiteral("Manual undo completed: ") + record.targetPath +
                                     QStringLiteral(" -> ") + record.sourcePath);
    const RecoveredOperation done{
        RecoveredOperation::Outcome::undoCompleted, record.kind, record.sourcePath, record.targetPath, {}};
    journal.finish();
    return done;
}

RecoveredOperation OperationRecovery::stopUndo(OperationJournal& journal) const
{
    const JournalRecord& record = journal.record();
    const platform::EntryKind occupant = platform::entryStatus(record.sourcePath).kind;
    if (occupant != platform::EntryKind::symbolicLink) {
        const FallbackFileOperations files(m_privileged, m_log);
        if (occupant != platform::EntryKind::none) {
            if (!isPlaceholder(record.sourcePath))
                return leaveAsFound(record, QStringLiteral("something else stands at the source path"));
            files.removePlaceholder(record.sourcePath);
        }
        files.createSymbolicLink(record.sourcePath, record.targetPath);
    }
    m_log.append(LogLevel::warning, QStringLiteral("Interrupted undo stopped, the link was kept: ") +
                                        record.sourcePath + QStringLiteral(" -> ") + record.targetPath);
    const RecoveredOperation done{
        RecoveredOperation::Outcome::undoStopped, record.kind, record.sourcePath, record.targetPath, {}};
    journal.finish();
    return done;
}

RecoveredOperation OperationRecovery::leaveAsFound(const JournalRecord& record, const QString& why) const
{
    RecoveredOperation left{
        RecoveredOperation::Outcome::leftAsFound, record.kind, record.sourcePath, record.targetPath, {}};
    for (const QString& path :
         {record.sourcePath, record.stagingPath, record.targetPath, record.restorePath}) {
        if (!path.isEmpty() && platform::entryExists(path) && !left.foundPaths.contains(path))
            left.foundPaths.append(path);
    }
    // What the operation, or an earlier one, kept aside beside either path.
    for (const QString& path :
         reservedSiblingsOf(record.sourcePath) + reservedSiblingsOf(record.targetPath)) {
        if (!left.foundPaths.contains(path))
            left.foundPaths.append(path);
    }
    m_log.append(LogLevel::error, QStringLiteral("Interrupted ") +
                                      (record.kind == JournalKind::migration ? QStringLiteral("migration")
                                                                             : QStringLiteral("undo")) +
                                      QStringLiteral(" left as found (") + why + QStringLiteral("): ") +
                                      left.foundPaths.join(QStringLiteral(", ")));
    return left;
}

} // namespace orvalink
