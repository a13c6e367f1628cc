// The disk workflows as one part of the state object; each workflow lives in a file of its own.
#include "viewmodel/disk/DiskWorkflows.h"

#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/disk/AdministratorAuthorization.h"
#include "viewmodel/disk/MigrationWorkflow.h"
#include "viewmodel/disk/RepairWorkflow.h"
#include "viewmodel/disk/RetryWorkflow.h"
#include "viewmodel/disk/UndoWorkflow.h"
#include "viewmodel/disk/WorkflowSupport.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/HistoryState.h"

namespace orvalink {

namespace {

QSet<QUuid> toggled(QSet<QUuid> ids, const QUuid& id)
{
    if (!ids.remove(id))
        ids.insert(id);
    return ids;
}

QSet<QUuid> idsOf(const QList<LinkMapping>& mappings)
{
    QSet<QUuid> ids;
    for (const LinkMapping& mapping : mappings)
        ids.insert(mapping.id);
    return ids;
}

} // namespace

DiskWorkflows::DiskWorkflows(ViewModelContext& context, PersistedStateReader& persisted,
                             DirectoryLoader& loader, const SmartMigration& smartMigration)
    : m_context(context, persisted, loader, smartMigration), m_workflowSettings(context.workflowSettings())
{}

bool DiskWorkflows::mayStartDiskWork() const
{
    return orvalink::mayStartDiskWork(m_context);
}

QCoro::Task<> DiskWorkflows::migrateSelectedItems()
{
    return orvalink::migrateSelectedItems(m_context);
}

QCoro::Task<> DiskWorkflows::retryFailedMigration(FailedMigrationRecord record,
                                                  std::optional<ForcedMigrationMode> forceMode,
                                                  bool terminateProcesses)
{
    return orvalink::retryFailedMigration(m_context, std::move(record), forceMode, terminateProcesses);
}

void DiskWorkflows::presentMigrationConflictPrompt(const FailedMigrationRecord& record)
{
    orvalink::presentMigrationConflictPrompt(m_context.activity(), m_context.presentation(), record);
}

QCoro::Task<> DiskWorkflows::undoLastMigration()
{
    return orvalink::undoLastMigration(m_context);
}

QCoro::Task<> DiskWorkflows::undoSelectedMigration()
{
    return orvalink::undoSelectedMigration(m_context);
}

QCoro::Task<> DiskWorkflows::forceUndoMigration(LinkMapping mapping, ForcedUndoRestoreMode mode)
{
    return orvalink::forceUndoMigration(m_context, std::move(mapping), mode);
}

void DiskWorkflows::answerUndoConflict(const QUuid& promptID, UndoConflictAnswer answer)
{
    orvalink::answerUndoConflict(m_context, promptID, answer);
}

QCoro::Task<> DiskWorkflows::repairBrokenLinks()
{
    return orvalink::repairBrokenLinks(m_context);
}

QCoro::Task<> DiskWorkflows::repairMigratedLinks(QSet<QUuid> mappingIDs)
{
    return orvalink::repairMigratedLinks(m_context, std::move(mappingIDs));
}

void DiskWorkflows::toggleUndoMappingSelection(const QUuid& id)
{
    m_context.history().setSelectedUndoMappingIDs(toggled(m_context.history().selectedUndoMappingIDs(), id));
}

void DiskWorkflows::toggleMigratedMappingSelection(const QUuid& id)
{
    m_context.history().setSelectedMigratedMappingIDs(
        toggled(m_context.history().selectedMigratedMappingIDs(), id));
}

void DiskWorkflows::selectAllUndoMappings()
{
    m_context.history().setSelectedUndoMappingIDs(idsOf(m_context.history().undoHistory()));
}

void DiskWorkflows::selectAllMigratedMappings()
{
    m_context.history().setSelectedMigratedMappingIDs(idsOf(m_context.history().migratedMappings()));
}

void DiskWorkflows::clearUndoMappingSelection()
{
    m_context.history().setSelectedUndoMappingIDs({});
}

void DiskWorkflows::clearMigratedMappingSelection()
{
    m_context.history().setSelectedMigratedMappingIDs({});
}

void DiskWorkflows::setUndoMode(bool on)
{
    m_context.browsing().setUndoModeActive(on);
}

QCoro::Task<> DiskWorkflows::requestAdministratorAuthorization()
{
    return orvalink::requestAdministratorAuthorization(m_context);
}

qsizetype DiskWorkflows::repairPosition() const
{
    return m_context.repairPosition();
}

bool DiskWorkflows::hasRunningDiskWork() const
{
    return m_context.activity().isDiskWorkBusy() && !m_context.activity().isBatchHeld();
}

void DiskWorkflows::holdFurtherItems(bool hold)
{
    m_context.hold().setHeld(hold && !m_context.isRetired());
}

BilingualText DiskWorkflows::runningDiskWorkText() const
{
    switch (m_context.activity().diskWork()) {
    case DiskWork::none:
        return {};
    case DiskWork::migration:
        return BilingualText("正在迁移。现在退出会在当前项目完成或回滚后停止，其余项目不再迁移。",
                             "A migration is running. Quitting now stops it once the current "
                             "item has finished or rolled back; the remaining items are not "
                             "migrated.");
    case DiskWork::undo:
        return BilingualText("正在反悔迁移。现在退出会在当前记录恢复完成后停止，其余记录不再恢复。",
                             "An undo is running. Quitting now stops it once the current record "
                             "has been restored; the remaining records are not restored.");
    case DiskWork::linkRepair:
        return BilingualText("正在修复链接。现在退出会在当前批次完成后停止。",
                             "A link repair is running. Quitting now stops it once the current "
                             "batch has finished.");
    case DiskWork::recovery:
        return BilingualText("正在处理上次中断的操作。现在退出会在它完成后关闭。",
                             "Operations interrupted last time are being put right. Quitting now closes "
                             "the window once that has finished.");
    }
    return {};
}

} // namespace orvalink
