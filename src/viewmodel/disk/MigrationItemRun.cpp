#include "viewmodel/disk/MigrationItemRun.h"

#include "model/FailureOf.h"
#include "model/OrvalinkError.h"
#include "viewmodel/context/WorkflowSettings.h"
#include "viewmodel/disk/DiskWorkContext.h"
#include "viewmodel/disk/MonitoredDiskCall.h"
#include "viewmodel/disk/ProgressMonitor.h"
#include "viewmodel/disk/ScopedDiskServices.h"
#include "viewmodel/disk/WorkflowSupport.h"
#include "viewmodel/history/PersistedStateReader.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/HistoryState.h"
#include "viewmodel/texts/ErrorText.h"

namespace orvalink {

MigrationItemRun::MigrationItemRun(DiskWorkContext& context,
                                   std::shared_ptr<const ScopedDiskServices> services, AppConfig runConfig,
                                   Item item)
    : m_context(context), m_services(std::move(services)), m_runConfig(std::move(runConfig)),
      m_item(std::move(item))
{}

std::unique_ptr<ProgressMonitor> MigrationItemRun::followHomecoming(std::shared_ptr<ArrivalPlace> home)
{
    ActivityState* activity = &m_context.activity();
    return ProgressMonitor::follow(
        m_context.background(), m_context.ticket(), m_context.workflowSettings().progressInterval,
        // Nothing is looked for before the engine says the take-back began: the copy itself runs meanwhile.
        [home, rollbacks = m_services->rollbacks(),
         source = m_item.sourcePath](const platform::CancellationToken& cancellation) {
            return rollbacks->hasBegun(source) ? home->arrivedBytes(cancellation) : qint64(0);
        },
        [activity, rollbacks = m_services->rollbacks(), source = m_item.sourcePath,
         expected = m_item.expectedBytes](qint64 arrived) {
            if (rollbacks->hasBegun(source))
                activity->setDiskWorkStep(DiskWorkStep{DiskWorkStep::Kind::comingHome, source,
                                                       std::min(arrived, expected), expected});
        });
}

QCoro::Task<bool> MigrationItemRun::execute(FlowTicket ticket)
{
    m_base = m_context.activity().migrationProcessedBytes();
    m_context.activity().setMigrationCurrentPath(m_item.sourcePath);
    m_plannedTarget = orvalink::plannedTargetPath(m_context, m_item.sourcePath, m_runConfig);
    // A failure after the copy brings the data home through a restore sibling of the source: watched
    // from the start, it is shown once the engine says the take-back began.
    const std::shared_ptr<ArrivalPlace> home = ArrivalPlace::restoreSiblingOf(m_item.sourcePath);
    co_await takeStockForProgress(m_context, home);
    if (!ticket.isAlive())
        co_return false;
    std::unique_ptr<ProgressMonitor> homecoming = followHomecoming(home);
    auto migrating = runMonitoredDiskCall(
        m_context, ticket, ArrivalPlace::at(m_plannedTarget.value_or(QString())), m_item.expectedBytes,
        m_base, [services = m_services, item = m_item, runConfig = m_runConfig] {
            return services->engine().migrate(item.sourcePath, runConfig, item.forceMode,
                                              item.terminateProcesses);
        });
    const auto outcome = co_await std::move(migrating);
    if (!outcome)
        co_return false;
    co_await stopProgressMonitor(std::move(homecoming));
    if (!ticket.isAlive())
        co_return false;
    m_context.activity().setDiskWorkStep(std::nullopt);

    if (outcome->succeeded()) {
        m_result = outcome->value();
    } else {
        // The engine reports failures in its task; should it throw after all, the item still
        // counts as failed rather than ending the flow.
        m_result.task.id = QUuid::createUuid();
        m_result.task.sourcePath = m_item.sourcePath;
        m_result.task.status = TaskStatus::failed;
        m_result.task.errorMessage = localizedDescription(outcome->error());
        if (const std::optional<OrvalinkError> failure = failureOf<OrvalinkError>(outcome->error())) {
            m_result.task.errorCode = failure->code();
            m_result.failure = failure;
        }
    }
    // Shown at once, until the reload after the batch reads the task file again.
    QList<MigrationTask> tasks = m_context.history().tasks();
    tasks.prepend(m_result.task);
    if (tasks.size() > PersistedStateReader::kRecentLimit)
        tasks.removeLast();
    m_context.history().setTaskCount(m_context.history().taskCount() + 1);
    m_context.history().setTasks(tasks);
    co_return true;
}

bool MigrationItemRun::failed() const
{
    return task().status == TaskStatus::failed || task().status == TaskStatus::rolledBack;
}

QDateTime MigrationItemRun::finishedAt() const
{
    return task().endedAt.value_or(m_context.workflowSettings().clock());
}

void MigrationItemRun::recordSuccess() const
{
    const QString target = !task().targetPath.isEmpty() ? task().targetPath : plannedTargetPath();
    QList<MigrationPathRecord> done = m_context.history().recentMigrations();
    done.prepend({QUuid::createUuid(), m_item.sourcePath, target, finishedAt()});
    m_context.history().setRecentMigrations(done);
}

FailedMigrationRecord MigrationItemRun::failureRecord(const QUuid& id, const QString& fallbackTarget) const
{
    return FailedMigrationRecord{
        id,
        m_item.sourcePath,
        !task().targetPath.isEmpty() ? task().targetPath : fallbackTarget,
        finishedAt(),
        task().status,
        task().errorCode,
        task().errorMessage.value_or(QString()),
        m_result.failure ? m_result.failure->processes() : QStringList(),
        m_result.failure ? m_result.failure->shortfall() : std::nullopt,
        m_result.olderVersions,
    };
}

} // namespace orvalink
