#pragma once

#include "diskops/FallbackFileOperations.h"
#include "diskops/MigrationEngine.h"
#include "diskops/OperationJournal.h"
#include "diskops/Rollback.h"
#include "model/AppConfig.h"
#include "model/LogEntry.h"
#include "platform/MountTable.h"
#include "platform/PlatformError.h"

namespace orvalink {

// One call of MigrationEngine::migrate: everything that belongs to one migration lives here
// and dies with the call.
class MigrationRun {
public:
    MigrationRun(const MigrationEngine& engine, const QString& sourcePath, const AppConfig& config,
                 std::optional<ForcedMigrationMode> forceMode, bool terminateInUseProcesses);

    MigrationExecutionResult execute();

private:
    // How far the data has travelled, which decides how a failure is undone.
    enum class Phase {
        checking,        // the source is in its place: nothing to undo
        stagedOrMoving,  // the source left its place: roll back with the staging path
        arrivedAtTarget, // the data stands at the target: roll back from there
    };

    void checkAndStage();
    void finishEarlierTakeBack();
    void checkHolders();
    // Right before the staged files go after a copy to the volume: a holder of any of them refuses
    // the removal with E007, which rolls the migration back (the copy goes, the source comes home).
    void lastLookForHolders();
    qint64 requiredBytes() const;
    void moveIntoTarget();
    void moveStagedItem();
    // Once the data stands at the target: refuses a copy that is not the whole folder as it is now
    // (see m_lostCopy, m_stillChanging), which takes the migration back.
    void requireWholeCopy();
    void verifyAndLink();
    void appendMapping();
    void beginJournal();
    // Records a step in the journal before it is taken; a failure to record stops the migration.
    void record(const std::function<void(JournalRecord&)>& change);
    void endJournal();

    MigrationExecutionResult succeed();
    MigrationExecutionResult fail(const OrvalinkError& error);
    // After the data came home from the target: what stayed at the staging path takes its place,
    // each version it replaces kept beside it; named in `outcome` either way.
    void placeNewerLeftovers(RollbackOutcome& outcome);
    MigrationExecutionResult failRollback(const OrvalinkError& error, bool stagingPassed);
    // Once the data stands at the target: when the target path no longer leads to the copy the
    // record names because a file system mounted since over its way hides it, that file system's
    // mount point.
    std::optional<QString> hidingMount() const;
    // The copy is whole where a file system mounted at `mountPoint` hides it, and the original went:
    // nothing can be taken back by the target path. The answer names where the data is, and the
    // record stays for a start to finish the migration once the path leads to the copy again.
    MigrationExecutionResult failHidden(const QString& mountPoint);
    MigrationExecutionResult finish(LogLevel level, const QString& logMessage);
    OrvalinkError wrapped(const std::exception& error) const;
    // A path below the staging path as the user knows it: below the source path.
    QString shownPath(const QString& staged) const;

    const MigrationEngine::Services& m_services;
    const MigrationEngine& m_engine;
    const FallbackFileOperations m_files;
    const MigrationRollback m_rollback;

    const QString m_source;
    const AppConfig m_config;
    const std::optional<ForcedMigrationMode> m_forceMode;
    const bool m_terminateInUseProcesses;

    Phase m_phase = Phase::checking;
    std::optional<platform::MountEntry> m_volume; // the volume the target root lay on at the start
    bool m_keepRecord = false;                    // for a start to finish: no task is written either
    MigrationTask m_task;
    bool m_isDirectory = false;
    QString m_target;
    QString m_staging;
    std::optional<ForceMigrationSummary> m_summary;
    QStringList m_terminatedProcesses;
    std::optional<OrvalinkError> m_failure;
    QStringList m_olderVersions; // see MigrationExecutionResult
    // What was still being written when the staged files went: it stayed at the staging path.
    std::optional<QString> m_stillChanging;
    // Why it could not be copied again then (a volume that filled up), if that was why.
    std::optional<platform::PlatformError> m_refreshFailure;
    // What stayed at the staging path because its copy was gone or changed when its turn came.
    std::optional<QString> m_lostCopy;
    // Where a program moved the whole copy while the staged files went ("" when nobody can tell).
    std::optional<QString> m_copyMovedTo;
    QUuid m_mappingID; // drawn up front, so a start after a crash can tell whether it was written
    QStringList m_createdFolders;
    std::optional<OperationJournal> m_journal;
};

} // namespace orvalink
