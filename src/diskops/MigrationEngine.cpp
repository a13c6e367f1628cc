#include "diskops/MigrationEngine.h"

#include "diskops/MigrationRun.h"
#include "diskops/OperationRecovery.h"

namespace orvalink {

MigrationEngine::MigrationEngine(Services services, StagedCallback didMoveSourceToStaging,
                                 ArrivedCallback didMoveStagingToTarget, RollbackCallback willRollBack)
    : m_services(services), m_didMoveSourceToStaging(std::move(didMoveSourceToStaging)),
      m_didMoveStagingToTarget(std::move(didMoveStagingToTarget)), m_willRollBack(std::move(willRollBack))
{}

MigrationExecutionResult MigrationEngine::migrate(const QString& sourcePath, const AppConfig& config,
                                                  std::optional<ForcedMigrationMode> forceMode,
                                                  bool terminateInUseProcesses) const
{
    // An undo that came home but could not write the history keeps its mapping until the history can
    // be written: this migration is about to write it (perhaps of that very folder, migrated again).
    OperationRecovery(m_services.log, m_services.volumes).recordWaitingHistories();
    return MigrationRun(*this, sourcePath, config, forceMode, terminateInUseProcesses).execute();
}

} // namespace orvalink
