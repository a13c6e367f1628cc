#include "viewmodel/launch/RecoveryProgress.h"

#include "viewmodel/disk/DeparturePlace.h"
#include "viewmodel/disk/ProgressMonitor.h"
#include "viewmodel/state/ActivityState.h"

#include <algorithm>
#include <mutex>

namespace orvalink {

namespace {

// What the recovery of `record` removes once the data is whole at its place: the staged original a
// finished migration no longer needs, else the copy on the volume.
QString clearedPath(const JournalRecord& record)
{
    const bool forward = record.kind == JournalKind::migration && record.arrived && !record.settled;
    return forward ? record.stagingPath : record.targetPath;
}

} // namespace

struct RecoveryProgress::Watch {
    std::mutex mutex;
    int begun = 0; // operations begun, the current one included
    DiskWorkStep step;
    std::shared_ptr<DeparturePlace> place;
    bool shown = false;   // the current operation has been published once
    bool stocked = false; // its place has been measured
};

RecoveryProgress::RecoveryProgress() : m_watch(std::make_shared<Watch>()) {}

RecoveryProgress::~RecoveryProgress() = default;

OperationRecovery::Starting RecoveryProgress::starting() const
{
    return [watch = m_watch](const JournalRecord& record) {
        const std::lock_guard lock(watch->mutex);
        ++watch->begun;
        watch->step = DiskWorkStep{record.kind == JournalKind::undo ? DiskWorkStep::Kind::finishingUndo
                                                                    : DiskWorkStep::Kind::finishingMigration,
                                   record.sourcePath, 0, 0};
        watch->place = std::make_shared<DeparturePlace>(clearedPath(record));
        watch->shown = false;
        watch->stocked = false;
    };
}

std::unique_ptr<ProgressMonitor> RecoveryProgress::follow(BackgroundRunner& background,
                                                          ActivityState& activity, FlowTicket ticket,
                                                          std::chrono::milliseconds interval) const
{
    const auto measure = [watch = m_watch](const platform::CancellationToken& cancellation) -> qint64 {
        std::unique_lock lock(watch->mutex);
        // A new operation is shown first, before the walk over what it clears, which takes a while.
        if (!watch->place || !watch->shown)
            return 0;
        const int current = watch->begun;
        const std::shared_ptr<DeparturePlace> place = watch->place;
        const bool stocked = watch->stocked;
        lock.unlock();
        const qint64 measured = stocked ? place->departedBytes(cancellation) : place->takeStock(cancellation);
        lock.lock();
        if (watch->begun == current) {
            (stocked ? watch->step.doneBytes : watch->step.totalBytes) = measured;
            watch->stocked = true;
        }
        return measured;
    };
    ActivityState* published = &activity;
    const auto sink = [watch = m_watch, published](qint64) {
        std::unique_lock lock(watch->mutex);
        if (watch->begun == 0)
            return;
        watch->shown = true;
        const int begun = watch->begun;
        const DiskWorkStep step = watch->step;
        lock.unlock();
        published->setDiskWorkStep(step);
        published->setMigrationCurrentPath(step.path);
        published->setMigrationProcessedItems(begun - 1);
    };
    return ProgressMonitor::follow(background, std::move(ticket), interval, measure, sink);
}

} // namespace orvalink
