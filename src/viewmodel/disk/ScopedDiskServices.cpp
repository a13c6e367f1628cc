#include "viewmodel/disk/ScopedDiskServices.h"

#include "diskops/PathMappingService.h"

namespace orvalink {

std::shared_ptr<const ScopedDiskServices> ScopedDiskServices::capture(const ViewModelServices& shared,
                                                                      const PathMappingService& pathMapping)
{
    std::shared_ptr<ScopedDiskServices> services(new ScopedDiskServices);
    ScopedDiskServices& s = *services;
    s.m_scope = shared.mappingStore->scope();
    s.m_mappings.setScope(s.m_scope);
    s.m_tasks.setScope(shared.taskStore->scope());
    s.m_scan = shared.scanService;
    s.m_volumes = shared.volumeService;
    s.m_processes = shared.activeProcessService;
    s.m_log = shared.logService;
    s.m_privileged = shared.privilegedFileOperations;
    // The path rules live in the state object's context, whose background runner waits for all work
    // before they go.
    s.m_engine = std::make_unique<MigrationEngine>(
        MigrationEngine::Services{*s.m_scan, pathMapping, *s.m_volumes, *s.m_processes, s.m_mappings,
                                  s.m_tasks, *s.m_log, *s.m_privileged},
        shared.migrationStaged, MigrationEngine::ArrivedCallback(),
        [rollbacks = s.m_rollbacks](const QString& source, const QString&) { rollbacks->began(source); });
    s.m_undo = std::make_unique<UndoService>(s.m_mappings, s.m_tasks, *s.m_log, *s.m_privileged, pathMapping,
                                             *s.m_volumes, *s.m_processes);
    s.m_repair = std::make_unique<LinkRepairService>(s.m_mappings, *s.m_volumes, *s.m_log, pathMapping);
    return services;
}

} // namespace orvalink
