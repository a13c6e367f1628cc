#include "diskops/TaskRecording.h"

#include "model/AppPaths.h"
#include "model/MigrationTask.h"
#include "store/JSONLStore.h"
#include "store/LogService.h"

namespace orvalink {

bool appendTaskOrLog(const MigrationTask& task, const QString& tasksFile, LogService& log,
                     const QString& what)
{
    try {
        AppPaths::ensureBaseDirectories();
        JSONLStore::append(task, tasksFile);
        return true;
    } catch (const std::exception& error) {
        log.append(LogLevel::warning, what + QStringLiteral(" could not be added to the task history (") +
                                          QString::fromUtf8(error.what()) + QStringLiteral("): ") +
                                          task.sourcePath + QStringLiteral(" -> ") + task.targetPath);
    }
    return false;
}

bool recordUndone(const MigrationTask& task, const QString& tasksFile, LogService& log)
{
    const bool written = appendTaskOrLog(task, tasksFile, log, QStringLiteral("The undo"));
    log.append(LogLevel::info, QStringLiteral("Manual undo completed: ") + task.targetPath +
                                   QStringLiteral(" -> ") + task.sourcePath);
    return written;
}

} // namespace orvalink
