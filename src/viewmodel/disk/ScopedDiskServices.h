#pragma once

#include "diskops/LinkRepairService.h"
#include "diskops/MigrationEngine.h"
#include "diskops/UndoService.h"
#include "model/LocalHistoryScope.h"
#include "store/HistoryStores.h"
#include "viewmodel/disk/RollbackNotice.h"
#include "viewmodel/state/ViewModelServices.h"

#include <memory>

namespace orvalink {

class PathMappingService;

// The disk services of one workflow run, bound to the history scope that was in use when the run
// started: a sign-in or sign-out while a long migration or undo runs must not split its records
// across two accounts. Shared with the background work, which keeps it (and the services it uses)
// alive until it ends.
class ScopedDiskServices {
public:
    static std::shared_ptr<const ScopedDiskServices> capture(const ViewModelServices& services,
                                                             const PathMappingService& pathMapping);

    const LocalHistoryScope& scope() const { return m_scope; }
    const MigrationEngine& engine() const { return *m_engine; }
    const UndoService& undo() const { return *m_undo; }
    const LinkRepairService& repair() const { return *m_repair; }
    // The items of this run whose migration the engine has begun to take back.
    const std::shared_ptr<RollbackNotice>& rollbacks() const { return m_rollbacks; }

private:
    ScopedDiskServices() = default;

    LocalHistoryScope m_scope = LocalHistoryScope::guest();
    MappingStore m_mappings;
    TaskStore m_tasks;
    std::shared_ptr<ScanService> m_scan;
    std::shared_ptr<VolumeService> m_volumes;
    std::shared_ptr<ActiveProcessService> m_processes;
    std::shared_ptr<LogService> m_log;
    std::shared_ptr<PrivilegedFileOperationService> m_privileged;
    std::shared_ptr<RollbackNotice> m_rollbacks = std::make_shared<RollbackNotice>();
    std::unique_ptr<MigrationEngine> m_engine;
    std::unique_ptr<UndoService> m_undo;
    std::unique_ptr<LinkRepairService> m_repair;
};

} // namespace orvalink
