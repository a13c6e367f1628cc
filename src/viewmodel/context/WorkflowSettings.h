#pragma once

#include "diskops/LinkRepairService.h"
#include "platform/CommandRunner.h"

#include <QDateTime>
#include <chrono>
#include <functional>
#include <memory>

namespace orvalink {

// The knobs of the migration, undo and repair workflows that tests turn: the sampling pause of the
// progress monitor, the clock that dates records the engine left undated, the size of one batch of
// the whole-history link repair and the runner of the administrator check.
struct WorkflowSettings {
    std::chrono::milliseconds progressInterval{250};
    std::function<QDateTime()> clock = [] {
        return QDateTime::currentDateTimeUtc();
    };
    qsizetype repairBatchSize = LinkRepairService::maxRepairItemsPerRun;
    // Runs "/bin/true" with administrator rights; none means `pkexec /bin/true`.
    std::shared_ptr<platform::CommandRunner> administratorCheckRunner;
};

} // namespace orvalink
