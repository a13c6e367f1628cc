#pragma once

#include "model/LinkMapping.h"
#include "model/MigrationTask.h"
#include "store/NewestRecords.h"

#include <limits>

namespace orvalink {

// Mappings go by their latest activity: the later of creation and update.
struct MappingRecency {
    qint64 operator()(const LinkMapping& mapping) const { return mapping.recency().toMSecsSinceEpoch(); }
};

// Tasks go by their start; one without a start counts as the distant past.
struct TaskStart {
    qint64 operator()(const MigrationTask& task) const
    {
        return task.startedAt ? task.startedAt->toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
    }
};

using NewestMappings = NewestRecords<LinkMapping, MappingRecency>;
using NewestTasks = NewestRecords<MigrationTask, TaskStart>;

} // namespace orvalink
