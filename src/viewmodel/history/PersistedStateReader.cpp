#include "viewmodel/history/PersistedStateReader.h"

#include "diskops/UndoService.h"
#include "platform/MountTable.h"
#include "platform/UserLocations.h"
#include "viewmodel/context/ViewModelContext.h"

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

PersistedStateReader::PersistedStateReader(ViewModelContext& context) : m_context(context) {}

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
    m_context.setRepairPosition(0);
    ViewModelServices& services = m_context.services();
    // Each store's scope is copied under its own lock (inside filePath()), one after the other.
    m_context.history().setTasks(sortedTasks(m_tasks.loadAll(services.taskStore->filePath())));
    m_context.history().setMigratedMappings(
        sortedMappings(m_mappings.loadAll(services.mappingStore->filePath())));

    QList<LogEntry> logs = services.logService->loadRecent(kRecentLimit);
    std::stable_sort(logs.begin(), logs.end(),
                     [](const LogEntry& lhs, const LogEntry& rhs) { return lhs.timestamp > rhs.timestamp; });
    m_context.history().setLogs(logs);

    m_context.history().setUndoHistory(UndoService(*services.mappingStore, *services.taskStore,
                                                   *services.logService, *services.privilegedFileOperations,
                                                   m_context.pathMappingService(), *services.volumeService)
                                           .undoHistory(kRecentLimit));

    m_context.history().setSelectedUndoMappingIDs(
        intersected(m_context.history().selectedUndoMappingIDs(), m_context.history().undoHistory()));
    m_context.history().setSelectedMigratedMappingIDs(intersected(
        m_context.history().selectedMigratedMappingIDs(), m_context.history().migratedMappings()));
}

void PersistedStateReader::refreshStorageUsageSnapshot()
{
    const VolumeService& volumes = *m_context.services().volumeService;
    const auto system = volumes.volumeUsage(platform::homeDirectory());
    m_context.browsing().setSystemVolumeTotalBytes(system ? system->total : 0);
    m_context.browsing().setSystemVolumeFreeBytes(system ? system->free : 0);

    // A folder left in the volumes directory by an unplugged disk lies on the internal disk: its
    // figures must not pass for the target's.
    std::optional<VolumeUsage> target;
    if (const auto mountPoint = volumes.mountPoint(m_context.effectiveTargetRoot());
        mountPoint && platform::MountTable::current().mountedAt(*mountPoint)) {
        target = volumes.volumeUsage(*mountPoint);
    }
    m_context.browsing().setTargetVolumeTotalBytes(target ? target->total : 0);
    m_context.browsing().setTargetVolumeFreeBytes(target ? target->free : 0);
}

void PersistedStateReader::refreshVolumes()
{
    m_context.browsing().setAvailableVolumes(m_context.services().volumeService->listVolumes());
    refreshStorageUsageSnapshot();
}

const LocalHistoryScope& PersistedStateReader::localHistoryScope() const
{
    return m_context.localHistoryScope();
}

} // namespace orvalink
