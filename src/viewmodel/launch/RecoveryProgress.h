#pragma once

#include "diskops/OperationRecovery.h"
#include "viewmodel/flow/FlowTicket.h"

#include <chrono>
#include <memory>

namespace orvalink {

class ActivityState;
class BackgroundRunner;
class ProgressMonitor;

// What the start-up's recovery is busy with, as the running DiskWorkStep, the current path and the
// operations done: which interrupted operation it puts right (the recovery tells, on its own thread)
// and how much of what that operation clears away has gone: the original a finished migration
// leaves behind, or the copy on the volume that a migration taken back or an undo no longer needs.
// An operation shows at once; its figures follow once what it clears has been measured.
class RecoveryProgress {
public:
    RecoveryProgress();
    ~RecoveryProgress();

    // To hand to OperationRecovery::recoverInterruptedOperations (it outlives this object safely).
    OperationRecovery::Starting starting() const;
    // Publishes in `activity` what the recovery does, sampled on `background` every `interval`,
    // while `ticket` is alive and until the monitor is stopped.
    std::unique_ptr<ProgressMonitor> follow(BackgroundRunner& background, ActivityState& activity,
                                            FlowTicket ticket, std::chrono::milliseconds interval) const;

    struct Watch;

private:
    std::shared_ptr<Watch> m_watch;
};

} // namespace orvalink
