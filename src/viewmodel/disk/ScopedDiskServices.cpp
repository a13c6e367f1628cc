#include "viewmodel/disk/ScopedDiskServices.h"

#include "diskops/PathMappingService.h"

namespace orvalink {

std::shared_ptr<const ScopedDiskServices> ScopedDiskServices::capture(const ViewModelParts& parts,
                                                                      const PathMappingService& pathMapping)
{
    std::shared_ptr<ScopedDiskServices> services(new ScopedDiskServices);
    ScopedDiskServices& s = *services;
    s.m_scope = parts.mappingStore->scope();
    s.m_mappings.setScope(s.m_scope);
    s.m_tasks.setScope(parts.taskStore->scope());
    s.m_scan = parts.scanService;
    s.m_volumes = parts.volumeService;
    s.m_processes = parts.activeProcessService;
    s.m_log = parts.logService;
    s.m_privileged = parts.privilegedFileOperations;
    // The path rules live in the state object's context, whose background runner waits for all work
    // before they go.
    s.m_engine = std::make_unique<MigrationEngine>(
        MigrationEngine::Services{*s.m_scan, pathMapping, *s.m_volumes, *s.m_processes, s.m_mappings,
                                  s.m_tasks, *s.m_log, *s.m_privileged},
        parts.migrationStaged);
    s.m_undo = std::make_unique<UndoService>(s.m_mappings, s.m_tasks, *s.m_log, *s.m_privileged, pathMapping);
    s.m_repair = std::make_unique<LinkRepairService>(s.m_mappings, *s.m_volumes, *s.m_log, pathMapping);
    return services;
}

} // namespace orvalink
