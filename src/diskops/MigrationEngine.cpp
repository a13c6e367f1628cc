#include "diskops/MigrationEngine.h"

#include "diskops/MigrationRun.h"

namespace orvalink {

MigrationEngine::MigrationEngine(Services services, StagedCallback didMoveSourceToStaging,
                                 ArrivedCallback didMoveStagingToTarget)
    : m_services(services), m_didMoveSourceToStaging(std::move(didMoveSourceToStaging)),
      m_didMoveStagingToTarget(std::move(didMoveStagingToTarget))
{}

MigrationExecutionResult MigrationEngine::migrate(const QString& sourcePath, const AppConfig& config,
                                                  std::optional<ForcedMigrationMode> forceMode,
                                                  bool terminateInUseProcesses) const
{
    return MigrationRun(*this, sourcePath, config, forceMode, terminateInUseProcesses).execute();
}

} // namespace orvalink
