#include "diskops/MigrationRun.h"

#include "diskops/ActiveProcessService.h"
#include "diskops/CreatedFolders.h"
#include "diskops/ErrorDetails.h"
#include "diskops/ForcedPreparation.h"
#include "diskops/NamedVersions.h"
#include "diskops/NewerLeftovers.h"
#include "diskops/OperationRecovery.h"
#include "diskops/PathMappingService.h"
#include "diskops/PlaceholderTest.h"
#include "diskops/RecordedIdentity.h"
#include "diskops/RecordedPlaces.h"
#include "diskops/ReservedPaths.h"
#include "diskops/ScanService.h"
#include "diskops/TaskRecording.h"
#include "diskops/VolumeFit.h"
#include "diskops/VolumeService.h"
#include "model/AppPaths.h"
#include "model/JsonFields.h"
#include "model/LinkMapping.h"
#include "platform/DirectoryListing.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/FileMove.h"
#include "platform/MountTable.h"
#include "platform/PlatformError.h"
#include "platform/ProcessTable.h"
#include "platform/StandardPath.h"
#include "platform/UserLocations.h"
#include "store/HistoryStores.h"
#include "store/JSONLStore.h"
#include "store/LogService.h"

#include <QDateTime>
#include <QUuid>

namespace orvalink {

namespace {

// Records keep whole seconds; the result carries the dates exactly as they were written.
QDateTime now()
{
    return json::wholeSeconds(QDateTime::currentDateTimeUtc());
}

} // namespace

MigrationRun::MigrationRun(const MigrationEngine& engine, const QString& sourcePath, const AppConfig& config,
                           std::optional<ForcedMigrationMode> forceMode, bool terminateInUseProcesses)
    : m_services(engine.m_services), m_engine(engine), m_files(m_services.privileged, m_services.log),
      m_rollback(m_files, m_services.log), m_source(sourcePath), m_config(config), m_forceMode(forceMode),
      m_terminateInUseProcesses(terminateInUseProcesses)
{
    m_task.id = QUuid::createUuid();
    m_mappingID = QUuid::createUuid();
    m_task.sourcePath = m_source;
    m_task.anchorUser = m_config.anchorUser;
    m_task.volumeUUID = m_services.volumes.resolveVolumeUUID(m_config.defaultTargetRoot);
    m_task.startedAt = now();
}

MigrationExecutionResult MigrationRun::execute()
{
    try {
        checkAndStage();
        moveIntoTarget();
        verifyAndLink();
    } catch (const OrvalinkError& error) {
        return fail(error);
    } catch (const std::exception& error) {
        return fail(wrapped(error));
    } catch (...) {
        return fail(OrvalinkError::moveFailed(m_source, m_target, unknownUnderlying()));
    }
    return succeed();
}

OrvalinkError MigrationRun::wrapped(const std::exception& error) const
{
    return OrvalinkError::moveFailed(m_source, m_target, underlyingOf(error));
}

void MigrationRun::checkAndStage()
{
    const QString& root = m_config.defaultTargetRoot;
    m_services.pathMapping.validateMigrationSource(m_source, m_config.anchorUser, m_config.strictModeEnabled);

    // A folder where nothing is mounted lies on the internal disk: data written there would never
    // reach the volume.
    const auto mountPoint = m_services.volumes.mountPoint(root);
    const std::optional<platform::MountEntry> volume =
        mountPoint ? platform::MountTable::current().mountedAt(*mountPoint) : std::nullopt;
    if (!volume)
        throw OrvalinkError::targetVolumeNotMounted();
    m_volume = volume;

    if (!platform::fileExists(m_source))
        throw OrvalinkError::sourceNotFound(m_source);
    m_isDirectory = platform::isDirectory(m_source);

    finishEarlierTakeBack();
    checkHolders();

    if (platform::entryStatus(m_source).kind == platform::EntryKind::symbolicLink)
        throw OrvalinkError::disallowedPath(m_source);

    m_target = m_services.pathMapping.buildTargetPath(m_source, root, m_config.anchorUser,
                                                      m_config.strictModeEnabled);
    m_task.targetPath = m_target;
    // A target root inside the source (or the reverse) would move the data into itself.
    if (platform::isSameOrDescendant(m_target, m_source) || platform::isSameOrDescendant(m_source, m_target))
        throw OrvalinkError::disallowedPath(m_source);

    if (platform::entryExists(m_target) && !isPlaceholder(m_target) && !m_forceMode)
        throw OrvalinkError::targetAlreadyExists(m_target);

    const qint64 required = requiredBytes();
    const qint64 available = m_services.volumes.availableBytes(root);
    if (available >= 1 && required > available)
        throw OrvalinkError::insufficientSpace(required, available);

    m_staging = makeReservedPath(m_source, ReservedSuffix::staging);
    m_createdFolders = missingFolders(platform::parentPath(m_target));
    beginJournal();
    // Tried once the record names the folder the try works in: a start after a kill clears what the
    // try left there.
    requireVolumeKeeps(m_source, m_target, *volume);
    // With the user's rights only: folders an administrator made here would belong to root, and
    // every later move into them would have to ask for the password again.
    platform::createDirectories(platform::parentPath(m_target), 0755);

    try {
        m_files.move(m_source, m_staging);
    } catch (const std::exception& error) {
        if (isBusyError(error))
            throw OrvalinkError::sourceInUse(m_source, m_services.processes.activeProcessNames(m_source));
        throw OrvalinkError::moveFailed(m_source, m_staging, underlyingOf(error));
    }
    m_phase = Phase::stagedOrMoving;
    if (m_engine.m_didMoveSourceToStaging)
        m_engine.m_didMoveSourceToStaging(m_source, m_staging);
}

void MigrationRun::finishEarlierTakeBack()
{
    // An earlier migration of this folder that was taken back may wait to put the newer versions a
    // program held in place here: a migration now would take the folder away without them. That one
    // is finished first, as a start would (the programs that hold them ended first when the user
    // asked for it); while it cannot be, nothing moves.
    const OperationRecovery recovery(m_services.log, m_services.volumes);
    const QString source = platform::standardizedPath(m_source);
    QList<RecoveredOperation> finished = recovery.finishTakenBackMigrationsAt(source);
    const auto held = [&finished] {
        const auto waiting =
            std::find_if(finished.cbegin(), finished.cend(),
                         [](const RecoveredOperation& each) { return !each.heldPaths.isEmpty(); });
        return waiting == finished.cend() ? std::nullopt : std::optional(*waiting);
    };
    if (const std::optional<RecoveredOperation> waiting = held(); waiting && m_terminateInUseProcesses) {
        for (const QString& path : waiting->heldPaths)
            m_terminatedProcesses += m_services.processes.clearHolders(path, false, true, path);
        finished = recovery.finishTakenBackMigrationsAt(source);
    }
    if (const std::optional<RecoveredOperation> waiting = held())
        throw OrvalinkError::sourceInUse(waiting->heldPaths.constFirst(), waiting->holders);
}

void MigrationRun::checkHolders()
{
    m_terminatedProcesses +=
        m_services.processes.clearHolders(m_source, m_isDirectory, m_terminateInUseProcesses, m_source);
    m_terminatedProcesses.removeDuplicates();
    m_terminatedProcesses.sort();
}

void MigrationRun::lastLookForHolders()
{
    // A program that opened or mapped a staged file since the first check would go on writing into a
    // file that is about to go. Nobody is ended here: the user agreed to end only the programs the
    // first check named.
    try {
        m_services.processes.clearHolders(m_staging, m_isDirectory, false, m_source);
    } catch (const OrvalinkError&) {
        // The copy is removed again when this throws: the record must first stop calling it whole.
        record([](JournalRecord& entry) { entry.arrived = false; });
        throw;
    }
}

qint64 MigrationRun::requiredBytes() const
{
    if (m_isDirectory)
        return m_services.scan.directorySize(m_source, true);
    return platform::entryStatus(m_source).allocatedBytes;
}

void MigrationRun::beginJournal()
{
    JournalRecord entry;
    entry.kind = JournalKind::migration;
    entry.id = m_task.id;
    entry.homeDirectory = platform::standardizedPath(platform::homeDirectory());
    entry.sourcePath = platform::standardizedPath(m_source);
    entry.targetPath = m_target;
    entry.targetRoot = platform::standardizedPath(m_config.defaultTargetRoot);
    entry.stagingPath = m_staging;
    entry.sourceFolderIdentity = sourceFolderIdentityOf(entry.homeDirectory, entry.sourcePath);
    entry.itemIdentity = entryIdentityText(m_source);
    entry.createdDirectories = m_createdFolders;
    entry.targetRootIdentity = entryIdentityText(targetAnchorPath(entry));
    entry.forced = m_forceMode.has_value();
    entry.mappingID = m_mappingID;
    entry.anchorUser = m_config.anchorUser;
    entry.volumeUUID = m_task.volumeUUID;
    entry.startedAt = m_task.startedAt.value_or(now());
    entry.mappingsFile = platform::standardizedPath(m_services.mappings.filePath());
    entry.tasksFile = platform::standardizedPath(m_services.tasks.filePath());
    // Whatever a crash leaves of this migration must be something the next start can take up: a
    // record it would set aside unread leaves the data where only a search finds it.
    std::optional<QString> problem;
    try {
        problem = recordProblem(entry);
    } catch (const platform::PlatformError& error) {
        problem = QString::fromUtf8(error.what()); // a place that cannot be looked at now
    }
    if (problem) {
        m_services.log.append(LogLevel::error, QStringLiteral("Migration refused before anything moved (") +
                                                   *problem + QStringLiteral("): ") + m_source);
        throw OrvalinkError::disallowedPath(m_source);
    }
    m_journal.emplace(std::move(entry));
}

void MigrationRun::record(const std::function<void(JournalRecord&)>& change)
{
    if (m_journal)
        m_journal->update(change);
}

void MigrationRun::endJournal()
{
    if (!m_journal || m_keepRecord)
        return;
    // Data left at a restore sibling is found only through the record: the next start takes it up.
    const QString& restore = m_journal->record().restorePath;
    if (!restore.isEmpty() && platform::entryExists(restore) && !platform::entryExists(m_target))
        return;
    m_journal->finish();
}

void MigrationRun::moveIntoTarget()
{
    // "moving" is recorded only once the target was found free (or handed to a forced mode): a
    // recovery takes whatever stands at the target of a moving record for this run's own partial
    // copy, so an occupant found here must never be written down as one.
    if (!platform::entryExists(m_target)) {
        moveStagedItem();
    } else if (isPlaceholder(m_target)) {
        m_files.removePlaceholder(m_target);
        m_summary = placeholderRemovalSummary(m_forceMode, m_target);
        moveStagedItem();
    } else if (!m_forceMode) {
        throw OrvalinkError::targetAlreadyExists(m_target);
    } else {
        // A forced mode may merge part of the staged item into the occupant: recovery leaves that
        // as found.
        record([](JournalRecord& entry) { entry.moving = true; });
        const PreparationOutcome prepared =
            ForcedPreparation(m_files).prepareExistingTarget(m_staging, m_target, *m_forceMode);
        m_summary = prepared.summary;
        if (!prepared.stagingMergedIntoTarget)
            moveStagedItem();
    }
    m_phase = Phase::arrivedAtTarget;
    // A rename, the administrator's command or a merge leaves the data at the target without a
    // copy of our own having been recorded there: what stands there now is the migrated item (not
    // the copy an attempt before the administrator's made and discarded).
    if (m_journal && (!m_journal->record().arrived || m_journal->record().targetIdentity.isEmpty()))
        record([this](JournalRecord& entry) {
            if (!entry.arrived || entry.targetIdentity.isEmpty())
                entry.targetIdentity = entryIdentityText(m_target);
            entry.arrived = true;
        });
    if (m_engine.m_didMoveStagingToTarget)
        m_engine.m_didMoveStagingToTarget(m_source, m_staging, m_target);
    requireWholeCopy();
}

void MigrationRun::requireWholeCopy()
{
    // A copy that lost an entry is not the folder: the migration is taken back, and what stayed at
    // the staging path takes its place in the folder that comes home.
    if (m_lostCopy)
        throw OrvalinkError::copyFallsShort(m_source, m_target, CopyShortfall::copyGone(*m_lostCopy));
    if (!m_stillChanging)
        return;
    // Written again and again while the staged files went, or made anew there: the copy is not the
    // newest, so the migration is taken back the same way. Why it could not be brought along comes
    // first: a volume that filled up, then a program that still holds what stayed.
    if (m_refreshFailure) {
        OrvalinkError::Underlying underlying = underlyingOf(*m_refreshFailure);
        underlying.description.replace(m_staging, m_source);
        throw OrvalinkError::moveFailed(m_source, m_target, std::move(underlying));
    }
    m_services.processes.clearHolders(m_staging, m_isDirectory, false, m_source);
    throw OrvalinkError::copyFallsShort(m_source, m_target,
                                        CopyShortfall::writtenInRemoval(*m_stillChanging));
}

QString MigrationRun::shownPath(const QString& staged) const
{
    if (staged == m_staging || staged.startsWith(m_staging + QLatin1Char('/')))
        return m_source + staged.mid(m_staging.size());
    return staged;
}

void MigrationRun::moveStagedItem()
{
    if (m_journal && !m_journal->record().moving)
        record([](JournalRecord& entry) { entry.moving = true; });
    FallbackFileOperations::MoveSteps steps;
    // From here on what stands at the target is this migration's copy, whole or not.
    steps.created = [this] {
        record([this](JournalRecord& entry) { entry.targetIdentity = entryIdentityText(m_target); });
    };
    // Should the record fail, the copy is removed again: the record must not call it whole then.
    steps.copied = [this] {
        record([](JournalRecord& entry) { entry.arrived = true; });
    };
    bool removing = false;
    steps.beforeRemoval = [this, &removing] {
        lastLookForHolders();
        removing = true;
    };
    // Before the first removal the last look refuses any holder; once the staged files began to go,
    // nothing is refused any more: what a program holds then stays, for the migration to be taken
    // back with it (see m_stillChanging).
    steps.inUse = [this, &removing] {
        return removing ? platform::entriesInUse(m_staging) : QSet<platform::EntryIdentity>();
    };
    steps.beforeAdministrator = [this] {
        record([](JournalRecord& entry) { entry.administrator = true; });
    };
    steps.shownSource = m_source;
    steps.copyChangesAgain = true;
    steps.copyStaysAtDestination = true;
    try {
        const platform::MoveResult moved = m_files.move(m_staging, m_target, steps);
        if (!moved.lostCopies.isEmpty())
            m_lostCopy = shownPath(moved.lostCopies.constFirst());
        if (moved.copyMovedTo) {
            m_lostCopy = m_source;
            m_copyMovedTo = moved.copyMovedTo;
        }
        if (!moved.changedPaths.isEmpty())
            m_stillChanging = shownPath(moved.changedPaths.constFirst());
        m_refreshFailure = moved.refreshFailure;
    } catch (const OrvalinkError&) {
        throw;
    } catch (const platform::CopyGoneError& error) {
        // The copy went with the throw: the record must stop calling it whole.
        record([](JournalRecord& entry) { entry.arrived = false; });
        const auto* hidden = dynamic_cast<const platform::CopyHiddenError*>(&error);
        throw OrvalinkError::copyFallsShort(m_source, m_target,
                                            hidden ? CopyShortfall::copyHidden(m_source, hidden->mountPoint())
                                                   : CopyShortfall::copyGone(m_source));
    } catch (const platform::KeptChangingError& error) {
        // A program that still holds it says more than the file: it is the one to close.
        lastLookForHolders();
        throw OrvalinkError::copyFallsShort(m_source, m_target,
                                            CopyShortfall::keptChanging(shownPath(error.path())));
    } catch (const std::exception& error) {
        // Named after the source: the staging path means nothing to the user.
        OrvalinkError::Underlying underlying = underlyingOf(error);
        underlying.description.replace(m_staging, m_source);
        throw OrvalinkError::moveFailed(m_source, m_target, std::move(underlying));
    }
}

void MigrationRun::verifyAndLink()
{
    // The link leads wherever the path leads: it must be to the copy the record names.
    const bool recorded = !m_journal || m_journal->record().targetIdentity.isEmpty() ||
                          holdsEntry(m_target, m_journal->record().targetIdentity);
    if (!recorded || !platform::fileExists(m_target) || platform::isDirectory(m_target) != m_isDirectory)
        throw OrvalinkError::verifyFailed(m_target);

    if (platform::entryExists(m_source)) {
        if (isPlaceholder(m_source)) {
            m_files.removePlaceholder(m_source);
            m_summary =
                mergedForceMigrationSummary(m_summary, placeholderRemovalSummary(m_forceMode, m_source));
        } else if (!m_forceMode) {
            throw OrvalinkError::sourceOccupiedAfterMove(m_source);
        } else {
            m_summary = mergedForceMigrationSummary(
                m_summary,
                ForcedPreparation(m_files).prepareOccupiedSource(m_source, m_target, *m_forceMode));
        }
    }

    try {
        m_files.createSymbolicLink(m_source, m_target);
    } catch (const std::exception& error) {
        throw OrvalinkError::symlinkFailed(m_source, m_target, underlyingOf(error));
    }
    appendMapping();
}

void MigrationRun::appendMapping()
{
    const QDateTime linkedAt = now();
    const LinkMapping mapping{m_mappingID,       m_source, m_target, m_config.anchorUser,
                              m_task.volumeUUID, linkedAt, linkedAt};
    try {
        AppPaths::ensureBaseDirectories();
        JSONLStore::append(mapping, m_services.mappings.filePath());
    } catch (const std::exception& error) {
        throw OrvalinkError::historyNotWritten(m_services.mappings.filePath(), underlyingOf(error));
    }
}

MigrationExecutionResult MigrationRun::succeed()
{
    m_task.status = TaskStatus::completed;
    return finish(LogLevel::info,
                  QStringLiteral("Migration completed: ") + m_source + QStringLiteral(" -> ") + m_target);
}

MigrationExecutionResult MigrationRun::fail(const OrvalinkError& error)
{
    if (m_phase == Phase::arrivedAtTarget) {
        if (const std::optional<QString> mount = hidingMount())
            return failHidden(*mount);
    }
    std::optional<RollbackOutcome> outcome;
    bool passStaging = false;
    if (m_phase != Phase::checking) {
        passStaging = m_phase == Phase::stagedOrMoving;
        // Telling the caller must never keep the data from coming home.
        if (m_engine.m_willRollBack) {
            try {
                m_engine.m_willRollBack(m_source, m_target);
            } catch (...) {
            }
        }
        try {
            outcome = m_rollback.rollback(m_source, m_target,
                                          passStaging ? std::optional<QString>(m_staging) : std::nullopt,
                                          m_journal ? &*m_journal : nullptr);
        } catch (const OrvalinkError& rollbackError) {
            return failRollback(rollbackError, passStaging);
        } catch (const std::exception& rollbackError) {
            return failRollback(OrvalinkError::rollbackFailed(m_source, underlyingOf(rollbackError)),
                                passStaging);
        } catch (...) {
            return failRollback(OrvalinkError::rollbackFailed(m_source, unknownUnderlying()), passStaging);
        }
    }
    // What stayed at the staging path while the data came home from the target is newer than what
    // came home.
    if (outcome && !passStaging && platform::entryExists(m_staging))
        placeNewerLeftovers(*outcome);
    removeEmptyFolders(m_createdFolders);
    m_task.status = outcome ? TaskStatus::rolledBack : TaskStatus::failed;
    m_task.errorCode = error.code();
    m_task.errorMessage = rollbackMessage(error, outcome.has_value(), outcome);
    m_failure = error;
    if (outcome)
        m_olderVersions = outcome->olderVersionPaths;
    return finish(LogLevel::error,
                  QLatin1Char('[') + error.code() + QStringLiteral("] ") + error.errorDescription());
}

void MigrationRun::placeNewerLeftovers(RollbackOutcome& outcome)
{
    const QString rolledBack = QStringLiteral("Rollback of ") + m_source + QStringLiteral(": ");
    try {
        // Written down before anything moves: a start after a kill finishes putting them in place
        // and names what they replaced.
        record([this](JournalRecord& entry) {
            entry.newerLeftovers = waitingLeftovers(m_staging);
            noteStandingVersions(entry, m_source);
        });
        const PlacedLeftovers placed = putNewerLeftoversInPlace(m_files, m_staging, m_source, m_task.id);
        if (placed.placed) {
            outcome.olderVersionPaths = placed.olderVersions;
            // Named in the answer: a start that finds the record after a kill leaves them out.
            if (m_journal)
                noteNamed(*m_journal, placed.olderVersions);
            if (!placed.olderVersions.isEmpty())
                m_services.log.append(
                    LogLevel::warning,
                    rolledBack +
                        QStringLiteral("what changed while it was copied took its place; the "
                                       "versions it replaced were kept at: ") +
                        placed.olderVersions.join(QStringLiteral(", ")));
            return;
        }
    } catch (const std::exception&) {
        // Not recorded: nothing moves.
    }
    outcome.stillChangingPath = m_staging;
    m_services.log.append(LogLevel::warning,
                          rolledBack + QStringLiteral("what changed while it was copied stayed at ") +
                              m_staging);
}

MigrationExecutionResult MigrationRun::failRollback(const OrvalinkError& error, bool stagingPassed)
{
    QStringList places;
    if (stagingPassed && platform::entryExists(m_staging)) {
        places.append(m_staging);
    } else {
        if (!m_target.isEmpty() && platform::entryExists(m_target))
            places.append(m_target);
        else if (m_copyMovedTo && !m_copyMovedTo->isEmpty())
            places.append(*m_copyMovedTo); // a program moved the copy there while the original went
        // What stayed of the original while the copy came to the target.
        if (platform::entryExists(m_staging))
            places.append(m_staging);
    }
    QString message = error.errorDescription();
    if (!places.isEmpty()) {
        message = asSentence(message) + QStringLiteral(" Original data was preserved at: ") +
                  places.join(QStringLiteral(", ")) +
                  QStringLiteral(". Close related apps first, then move it back to ") + m_source +
                  QStringLiteral(" manually.");
    }
    m_task.status = TaskStatus::failed;
    m_task.errorCode = error.code();
    m_task.errorMessage = message;
    m_failure = error;
    return finish(LogLevel::error,
                  QLatin1Char('[') + error.code() + QStringLiteral("] ") + error.errorDescription());
}

std::optional<QString> MigrationRun::hidingMount() const
{
    if (!m_journal || !m_volume || m_journal->record().targetIdentity.isEmpty() ||
        holdsEntry(m_target, m_journal->record().targetIdentity))
        return std::nullopt;
    // A volume taken away leads the path onto the disk below it: nothing hides the copy then.
    const std::optional<platform::MountEntry> over = platform::MountTable::current().covering(m_target);
    if (!over || over->mountId == m_volume->mountId ||
        !platform::isSameOrDescendant(over->mountPoint, m_volume->mountPoint))
        return std::nullopt;
    return over->mountPoint;
}

MigrationExecutionResult MigrationRun::failHidden(const QString& mountPoint)
{
    const OrvalinkError error = OrvalinkError::copyFallsShort(
        m_source, m_target, CopyShortfall::copyHiddenAfterRemoval(m_target, mountPoint));
    QString message = error.errorDescription();
    // What was still written while the staged files went waits there: the start puts it in place.
    if (platform::entryExists(m_staging))
        message +=
            QStringLiteral(" What changed while it was copied stayed at: ") + m_staging + QLatin1Char('.');
    m_keepRecord = true;
    m_task.status = TaskStatus::failed;
    m_task.errorCode = error.code();
    m_task.errorMessage = message;
    m_failure = error;
    return finish(LogLevel::error, QLatin1Char('[') + error.code() + QStringLiteral("] ") + message);
}

MigrationExecutionResult MigrationRun::finish(LogLevel level, const QString& logMessage)
{
    m_task.endedAt = now();
    // A start that finishes the operation records its task.
    if (!m_keepRecord)
        appendTaskOrLog(m_task, m_services.tasks.filePath(), m_services.log, QStringLiteral("The migration"));
    m_services.log.append(level, logMessage);
    endJournal();
    return {m_task, m_summary, m_terminatedProcesses, m_failure, m_olderVersions};
}

} // namespace orvalink
