#include "viewmodel/history/PersistedStateReader.h"

#include "platform/MountTable.h"
#include "platform/UserLocations.h"
#include "store/HistoryOrder.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/history/HistoryFileFollower.h"

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

// The followers of the two history files. Their reads run on the background runner.
struct PersistedStateReader::Sources {
    HistoryFileFollower<MigrationTask, TaskStart> tasks{kRecentLimit};
    HistoryFileFollower<LinkMapping, MappingRecency> mappings{kRecentLimit};

    History read(const QString& tasksPath, const QString& mappingsPath, const LogService& log)
    {
        History history;
        auto readTasks = tasks.read(tasksPath);
        history.tasks = std::move(readTasks.records);
        history.taskCount = readTasks.count;
        auto readMappings = mappings.read(mappingsPath);
        history.mappings = std::move(readMappings.records);
        history.mappingCount = readMappings.count;
        history.logs = log.loadRecent(kRecentLimit);
        std::stable_sort(
            history.logs.begin(), history.logs.end(),
            [](const LogEntry& lhs, const LogEntry& rhs) { return lhs.timestamp > rhs.timestamp; });
        return history;
    }
};

PersistedStateReader::PersistedStateReader(ViewModelContext& context)
    : m_context(context), m_sources(std::make_shared<Sources>())
{}

PersistedStateReader::~PersistedStateReader() = default;

QCoro::Task<> PersistedStateReader::reloadPersistedState()
{
    m_context.setRepairPosition(0);
    const FlowTicket ticket = m_flows.ticket();
    const quint64 request = ++m_requested;
    const ViewModelServices& services = m_context.services();
    // Each store's scope is copied under its own lock (inside filePath()), one after the other.
    const QString tasksPath = services.taskStore->filePath();
    const QString mappingsPath = services.mappingStore->filePath();
    ++m_running;
    auto reading = m_context.background().runCatching(
        [sources = m_sources, log = services.logService, tasksPath, mappingsPath] {
            return sources->read(tasksPath, mappingsPath, *log);
        });
    auto outcome = co_await std::move(reading);
    if (!ticket.isAlive())
        co_return;
    --m_running;
    // A reload requested later may have published already, and a scope changed meanwhile makes
    // this one's files the wrong ones.
    if (!ticket.isCurrent() || request <= m_published || !outcome.succeeded() ||
        services.taskStore->filePath() != tasksPath || services.mappingStore->filePath() != mappingsPath)
        co_return;
    m_published = request;
    publish(outcome.value());
}

void PersistedStateReader::publish(const History& history)
{
    HistoryState& state = m_context.history();
    state.setTaskCount(history.taskCount);
    state.setTasks(history.tasks);
    state.setMigratedMappingCount(history.mappingCount);
    state.setMigratedMappings(history.mappings);
    state.setLogs(history.logs);
    state.setUndoHistory(history.mappings);
    state.setSelectedUndoMappingIDs(intersected(state.selectedUndoMappingIDs(), state.undoHistory()));
    state.setSelectedMigratedMappingIDs(
        intersected(state.selectedMigratedMappingIDs(), state.migratedMappings()));
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
