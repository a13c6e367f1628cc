#pragma once

#include <QString>

namespace orvalink {

class LogService;
struct MigrationTask;

// Appends `task` to the task history at `tasksFile`. The outcome of a run stands whether or not its
// line could be written: one that cannot be is logged as a warning instead, naming `what` ("The
// migration", "The undo"), the failure and the task's paths. True when it was written.
bool appendTaskOrLog(const MigrationTask& task, const QString& tasksFile, LogService& log,
                     const QString& what);

// An undo that is done (the data back at the source path, the mapping gone): its task in the task
// history, as appendTaskOrLog() writes it, and "Manual undo completed: <target> -> <source>" in the
// log. The undo itself and a start that completes one write it so. True when the task was written.
bool recordUndone(const MigrationTask& task, const QString& tasksFile, LogService& log);

} // namespace orvalink
