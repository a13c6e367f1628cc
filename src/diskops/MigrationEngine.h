#pragma once

#include "diskops/ForceMigrationSummary.h"
#include "model/MigrationTask.h"
#include "model/OrvalinkError.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace orvalink {

class ActiveProcessService;
class LogService;
class MappingStore;
class PathMappingService;
class PrivilegedFileOperationService;
class ScanService;
class TaskStore;
class VolumeService;
struct AppConfig;

// The outcome of one migration, success or failure.
struct MigrationExecutionResult {
    MigrationTask task; // as written to tasks.jsonl
    // Present when a placeholder was removed or a forced mode acted (as it stood at a failure).
    std::optional<ForceMigrationSummary> forceMigrationSummary;
    QStringList terminatedProcesses; // ended by this call; sorted, no repeats
    // The failure as raised, with its fields (the programs that held the source, say); none on success.
    std::optional<OrvalinkError> failure;
    // A migration taken back after what a program wrote while the staged files went took its place
    // in the folder that came home: where the versions it replaced were kept.
    QStringList olderVersions;
};

// Moves one user directory (or file) to the target root on an external volume and leaves a
// symbolic link at the old path. The data travels source -> hidden staging sibling -> target; any
// failure after the source has left its place puts the data back (see MigrationRollback). At every
// instant the data is whole at the source, the staging path or the target.
//
// Keeps no state besides its references: the services, stores and log belong to the caller and
// must outlive the engine. Synchronous on the caller's thread; holder termination and
// administrator prompts block it.
class MigrationEngine {
public:
    struct Services {
        const ScanService& scan;
        const PathMappingService& pathMapping;
        const VolumeService& volumes;
        const ActiveProcessService& processes;
        const MappingStore& mappings;
        const TaskStore& tasks;
        LogService& log;
        const PrivilegedFileOperationService& privileged;
    };

    // Called right after the source has moved into its staging sibling: (source, staging).
    using StagedCallback = std::function<void(const QString& source, const QString& staging)>;
    // Called once the data stands at the target path: (source, staging, target).
    using ArrivedCallback =
        std::function<void(const QString& source, const QString& staging, const QString& target)>;
    // Called when a failure after the source left its place starts bringing the data back there, from
    // the staging path or the target: (source, target).
    using RollbackCallback = std::function<void(const QString& source, const QString& target)>;

    explicit MigrationEngine(Services services, StagedCallback didMoveSourceToStaging = {},
                             ArrivedCallback didMoveStagingToTarget = {}, RollbackCallback willRollBack = {});

    // Migrates `sourcePath` below `config.defaultTargetRoot` (reading also anchorUser and
    // strictModeEnabled): the one entry point, for a first migration and for each retry. Without `forceMode`
    // an occupied target or a recreated source is an error; `terminateInUseProcesses` lets the engine end the
    // processes that hold the source. Never throws: the outcome is in the returned task (completed, failed or
    // rolledBack, with the error code and text), which has been appended to tasks.jsonl; a success also
    // appends the mapping to mappings.jsonl. Each finished call writes one log line.
    MigrationExecutionResult migrate(const QString& sourcePath, const AppConfig& config,
                                     std::optional<ForcedMigrationMode> forceMode,
                                     bool terminateInUseProcesses) const;

private:
    Services m_services;
    StagedCallback m_didMoveSourceToStaging;
    ArrivedCallback m_didMoveStagingToTarget;
    RollbackCallback m_willRollBack;

    friend class MigrationRun;
};

} // namespace orvalink
