#include "viewmodel/PersistedStateReader.h"

#include "platform/MountTable.h"
#include "platform/UserLocations.h"
#include "viewmodel/MainViewModel.h"

#include <algorithm>

namespace orvalink {

namespace {

QSet<QUuid> intersected(const QSet<QUuid>& selected, const QList<LinkMapping>& listed)
{
    QSet<QUuid> kept;
    for (const LinkMapping& mapping : listed) {
        if (selected.contains(mapping.id))
            kept.insert(mapping.id);
    }
    return kept;
}

} // namespace

PersistedStateReader::PersistedStateReader(MainViewModel& viewModel) : m_viewModel(viewModel) {}

QList<MigrationTask> PersistedStateReader::sortedTasks(QList<MigrationTask> tasks)
{
    std::stable_sort(tasks.begin(), tasks.end(), [](const MigrationTask& lhs, const MigrationTask& rhs) {
        if (!lhs.startedAt || !rhs.startedAt)
            return lhs.startedAt.has_value() && !rhs.startedAt.has_value();
        return *lhs.startedAt > *rhs.startedAt;
    });
    return tasks;
}

QList<LinkMapping> PersistedStateReader::sortedMappings(QList<LinkMapping> mappings)
{
    std::stable_sort(mappings.begin(), mappings.end(), [](const LinkMapping& lhs, const LinkMapping& rhs) {
        return lhs.recency() > rhs.recency();
    });
    return mappings;
}

void PersistedStateReader::reloadPersistedState()
{
    ViewModelParts& parts = m_viewModel.parts();
    // Each store's scope is copied under its own lock (inside filePath()), one after the other.
    m_viewModel.setTasks(sortedTasks(m_tasks.loadAll(parts.taskStore->filePath())));
    m_viewModel.setMigratedMappings(sortedMappings(m_mappings.loadAll(parts.mappingStore->filePath())));

    QList<LogEntry> logs = parts.logService->loadRecent(kRecentLimit);
    std::stable_sort(logs.begin(), logs.end(),
                     [](const LogEntry& lhs, const LogEntry& rhs) { return lhs.timestamp > rhs.timestamp; });
    m_viewModel.setLogs(logs);

    m_viewModel.setUndoHistory(m_viewModel.undoService().undoHistory(kRecentLimit));

    m_viewModel.setSelectedUndoMappingIDs(
        intersected(m_viewModel.selectedUndoMappingIDs(), m_viewModel.undoHistory()));
    m_viewModel.setSelectedMigratedMappingIDs(
        intersected(m_viewModel.selectedMigratedMappingIDs(), m_viewModel.migratedMappings()));
}

void PersistedStateReader::refreshStorageUsageSnapshot()
{
    const VolumeService& volumes = *m_viewModel.parts().volumeService;
    const auto system = volumes.volumeUsage(platform::homeDirectory());
    m_viewModel.setSystemVolumeTotalBytes(system ? system->total : 0);
    m_viewModel.setSystemVolumeFreeBytes(system ? system->free : 0);

    // A folder left in the volumes directory by an unplugged disk lies on the internal disk: its
    // figures must not pass for the target's.
    std::optional<VolumeUsage> target;
    if (const auto mountPoint = volumes.mountPoint(m_viewModel.effectiveTargetRoot());
        mountPoint && platform::MountTable::current().mountedAt(*mountPoint)) {
        target = volumes.volumeUsage(*mountPoint);
    }
    m_viewModel.setTargetVolumeTotalBytes(target ? target->total : 0);
    m_viewModel.setTargetVolumeFreeBytes(target ? target->free : 0);
}

} // namespace orvalink
