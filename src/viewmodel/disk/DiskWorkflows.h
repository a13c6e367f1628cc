#pragma once

#include "diskops/ForceMigrationSummary.h"
#include "diskops/UndoService.h"
#include "model/LinkMapping.h"
#include "viewmodel/disk/DiskWorkContext.h"
#include "viewmodel/state/WorkflowRecords.h"

#include <QCoro/QCoroTask>
#include <QSet>
#include <QString>
#include <QUuid>
#include <optional>

namespace orvalink {

struct WorkflowSettings;

// The migration, retry, undo and repair workflows and the selections of the history panels. Each
// workflow is started from the window without awaiting, does not start while another disk workflow
// runs (or once the owner closed), and never throws. Each lives in a file of its own.
class DiskWorkflows {
public:
    DiskWorkflows(ViewModelContext& context, PersistedStateReader& persisted, DirectoryLoader& loader,
                  const SmartMigration& smartMigration);

    // Whether a disk workflow may start now: not while another runs, not once the owner closed. The
    // window enables every control that starts one by it; a flow whose control stays enabled (a
    // row's menu, a prompt's answer) says in the info line why it did not start.
    bool mayStartDiskWork() const;

    QCoro::Task<> migrateSelectedItems();
    QCoro::Task<> retryFailedMigration(FailedMigrationRecord record,
                                       std::optional<ForcedMigrationMode> forceMode, bool terminateProcesses);
    void presentMigrationConflictPrompt(const FailedMigrationRecord& record);
    QCoro::Task<> undoLastMigration();
    QCoro::Task<> undoSelectedMigration();
    QCoro::Task<> forceUndoMigration(LinkMapping mapping, ForcedUndoRestoreMode mode);
    // The answer to the question a restore run published (ActivityState::undoConflictPrompt): the
    // prompt goes and that run goes on with the answer; a run that no longer waits is not restarted.
    void answerUndoConflict(const QUuid& promptID, UndoConflictAnswer answer);
    QCoro::Task<> repairBrokenLinks();
    QCoro::Task<> repairMigratedLinks(QSet<QUuid> mappingIDs);
    QCoro::Task<> requestAdministratorAuthorization();

    void toggleUndoMappingSelection(const QUuid& id);
    void toggleMigratedMappingSelection(const QUuid& id);
    void selectAllUndoMappings();
    void selectAllMigratedMappings();
    void clearUndoMappingSelection();
    void clearMigratedMappingSelection();
    // Undo mode: the history panel lists the undo candidates and the undo buttons show. Leaving it
    // keeps the marks for when it comes back.
    void setUndoMode(bool on);

    // The knobs tests turn (progress interval, clock, repair batch size, administrator check).
    WorkflowSettings& workflowSettings() { return m_workflowSettings; }
    // Where the next batch of the whole-history link repair starts.
    qsizetype repairPosition() const;

    // What runs now, for the safe close: a migration or retry, an undo or forced restore, a repair;
    // not a batch held between two items, which has nothing running to wait for.
    bool hasRunningDiskWork() const;
    BilingualText runningDiskWorkText() const;
    // While held, the item of a migration or undo batch on its way goes on to its end and the next
    // one waits until the hold is lifted (or the owner closes); a link repair batch, a retry and a
    // single undo have no next item. Nothing is held once the owner closed.
    void holdFurtherItems(bool hold);
    // What the workflows work with (tests start a progress monitor on it).
    DiskWorkContext& context() { return m_context; }
    // No workflow step runs any more; an engine call in the background still runs to its end.
    void retire() { m_context.retire(); }

private:
    DiskWorkContext m_context;
    WorkflowSettings& m_workflowSettings;
};

} // namespace orvalink
