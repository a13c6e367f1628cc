#pragma once

#include "diskops/MigrationEngine.h"
#include "model/AppConfig.h"
#include "viewmodel/flow/FlowTicket.h"
#include "viewmodel/state/WorkflowRecords.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QString>
#include <QUuid>
#include <memory>
#include <optional>

namespace orvalink {

class ArrivalPlace;
class DiskWorkContext;
class ProgressMonitor;
class ScopedDiskServices;

// One item of a migration batch, or one retry of a failed item, through the migration engine:
// everything that belongs to the item lives here and dies with it. Main thread only; the engine
// call itself runs on the background runner.
class MigrationItemRun {
public:
    struct Item {
        QString sourcePath;
        qint64 expectedBytes = 0;
        std::optional<ForcedMigrationMode> forceMode;
        bool terminateProcesses = false;
    };

    // `runConfig` holds the target root and rules read when the run started (engineConfig()), like
    // the engine's: a root changed meanwhile must not split a batch. `services` are the run's.
    MigrationItemRun(DiskWorkContext& context, std::shared_ptr<const ScopedDiskServices> services,
                     AppConfig runConfig, Item item);

    // Shows the item as the current path, runs the engine while the bytes arriving at the planned
    // target are sampled (and, once the engine takes the migration back, those coming home, as the
    // running DiskWorkStep), and puts the item's task first in the history's task list. False once
    // `ticket` went stale: nothing was touched after the engine call, which still ran to its end.
    // Should the engine throw after all, the item is a failed task rather than an error.
    QCoro::Task<bool> execute(FlowTicket ticket);

    // After execute() returned true:
    const MigrationExecutionResult& result() const { return m_result; }
    const MigrationTask& task() const { return m_result.task; }
    bool succeeded() const { return task().status == TaskStatus::completed; }
    bool failed() const;
    // migrationProcessedBytes when the item started.
    qint64 baseBytes() const { return m_base; }
    // The task's end, or now when it has none.
    QDateTime finishedAt() const;
    // Puts the success first in the session's list of migrated items.
    void recordSuccess() const;
    // The failure as a record with `id`: the target the engine chose, else `fallbackTarget`; the
    // error's code, programs and the engine's text as far as it gave them.
    FailedMigrationRecord failureRecord(const QUuid& id, const QString& fallbackTarget) const;
    // Where the item was to go when it started: under the run's root and rules; empty when the
    // rules refuse it.
    QString plannedTargetPath() const { return m_plannedTarget.value_or(QString()); }

private:
    // The data of a migration the engine takes back after its copy, arriving at `home`, as the
    // running step (see RollbackNotice).
    std::unique_ptr<ProgressMonitor> followHomecoming(std::shared_ptr<ArrivalPlace> home);

    DiskWorkContext& m_context;
    const std::shared_ptr<const ScopedDiskServices> m_services;
    const AppConfig m_runConfig;
    const Item m_item;

    qint64 m_base = 0;
    std::optional<QString> m_plannedTarget;
    MigrationExecutionResult m_result;
};

} // namespace orvalink
