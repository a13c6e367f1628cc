// The migration, undo and repair workflows as members of the state object; each lives in a file of
// its own.
#include "viewmodel/AdministratorAuthorization.h"
#include "viewmodel/DirectoryLoader.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/MigrationFailureText.h"
#include "viewmodel/MigrationWorkflow.h"
#include "viewmodel/RepairWorkflow.h"
#include "viewmodel/RetryWorkflow.h"
#include "viewmodel/UndoWorkflow.h"

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

void MainViewModel::updateSelectedSize(const QList<DirectoryEntry>& entries)
{
    m_loader->updateSelectedSize(entries);
}

QCoro::Task<> MainViewModel::migrateSelectedItems()
{
    return orvalink::migrateSelectedItems(*this);
}

QString MainViewModel::localizedMigrationFailureMessage(const QString& text) const
{
    return orvalink::localizedMigrationFailureMessage(*this, text);
}

QCoro::Task<> MainViewModel::retryFailedMigration(FailedMigrationRecord record,
                                                  std::optional<ForcedMigrationMode> forceMode,
                                                  bool terminateProcesses)
{
    return orvalink::retryFailedMigration(*this, std::move(record), forceMode, terminateProcesses);
}

void MainViewModel::presentMigrationConflictPrompt(const FailedMigrationRecord& record)
{
    orvalink::presentMigrationConflictPrompt(*this, record);
}

QCoro::Task<> MainViewModel::undoLastMigration()
{
    return orvalink::undoLastMigration(*this);
}

QCoro::Task<> MainViewModel::undoSelectedMigration()
{
    return orvalink::undoSelectedMigration(*this);
}

QCoro::Task<> MainViewModel::forceUndoMigration(LinkMapping mapping, ForcedUndoRestoreMode mode)
{
    return orvalink::forceUndoMigration(*this, std::move(mapping), mode);
}

QCoro::Task<> MainViewModel::repairBrokenLinks()
{
    return orvalink::repairBrokenLinks(*this);
}

QCoro::Task<> MainViewModel::repairMigratedLinks(QSet<QUuid> mappingIDs)
{
    return orvalink::repairMigratedLinks(*this, std::move(mappingIDs));
}

void MainViewModel::toggleUndoMappingSelection(const QUuid& id)
{
    setSelectedUndoMappingIDs(toggled(selectedUndoMappingIDs(), id));
}

void MainViewModel::toggleMigratedMappingSelection(const QUuid& id)
{
    setSelectedMigratedMappingIDs(toggled(selectedMigratedMappingIDs(), id));
}

void MainViewModel::selectAllUndoMappings()
{
    setSelectedUndoMappingIDs(idsOf(undoHistory()));
}

void MainViewModel::selectAllMigratedMappings()
{
    setSelectedMigratedMappingIDs(idsOf(migratedMappings()));
}

QCoro::Task<> MainViewModel::requestAdministratorAuthorization()
{
    return orvalink::requestAdministratorAuthorization(*this);
}

} // namespace orvalink
