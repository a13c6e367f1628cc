#pragma once

#include "model/AppConfig.h"
#include "viewmodel/flow/FlowTicket.h"
#include "viewmodel/state/BilingualText.h"
#include "viewmodel/state/DiskWork.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <optional>

namespace orvalink {

class ActivityState;
class DiskWorkContext;

// A disk workflow starts only when this is true: not once the owner closed, and not while a
// migration, retry, undo, forced restore or link repair runs (these flows exclude each other, so a
// repair never replaces a link that an undo is moving). Every control that starts one is enabled by
// it.
bool mayStartDiskWork(const DiskWorkContext& context);
// Why a disk workflow may not start now, for the info line; none when it may, or when the owner
// closed (nothing is said to a window that is going away).
std::optional<BilingualText> diskWorkRefusal(const DiskWorkContext& context);
// mayStartDiskWork(), and when it is false the refusal in the info line: for the flows that start
// from controls that stay enabled (a row's menu, the answer to a prompt).
bool mayStartDiskWorkOrSayWhy(DiskWorkContext& context);

// The settings handed to the engine: the current ones with the effective target root.
AppConfig engineConfig(const DiskWorkContext& context);

// Where `sourcePath` would land under the target root and rules of `settings` (as engineConfig()
// gave them); none when the rules refuse it.
std::optional<QString> plannedTargetPath(const DiskWorkContext& context, const QString& sourcePath,
                                         const AppConfig& settings);

// Awaits a flow that has already set its disk work (ActivityState::setDiskWork). Should anything
// escape the flow while its owner is still there, the disk work ends and the failure goes to the
// error line. Never throws.
QCoro::Task<> guardDiskWork(DiskWorkContext& context, QCoro::Task<> flow);

// After disk work that changed the history: history, volumes, storage, selected size and a live
// listing of the current directory. The caller checks its ticket after awaiting it.
QCoro::Task<> reloadAfterDiskWork(DiskWorkContext& context);

// Before each item of a batch: waits while the window asks whether to close (the hold), published
// meanwhile as ActivityState::isBatchHeld; false once the owner closed, and the batch then ends
// without touching anything.
QCoro::Task<bool> nextItemMayStart(DiskWorkContext& context, FlowTicket ticket);

// Marks the start of a migration, undo or link repair run of `work`: from a clean dock and status
// line, so that nothing the window shows speaks of an earlier run. The status goes as
// beginRunStatus() clears it, and so do the dock's records of the last run (migrated, restored,
// left behind and failed items, the links repaired, what the start-up kept aside).
void beginRun(DiskWorkContext& context, DiskWork work);
// Marks the disk busy with `work` and clears the status line (its info and error) and a prompt an
// earlier run left, for work that goes on with the dock's records as they are.
void beginRunStatus(DiskWorkContext& context, DiskWork work);
// Clears the dock's records of the last undo and link repair and of what the start-up kept aside,
// for a retry that goes on with the records of the migration whose item it retries.
void clearOtherRunsRecords(DiskWorkContext& context);

// Resets the progress panel for a new operation of `totalItems` items and `totalBytes` bytes.
void beginProgress(DiskWorkContext& context, const BilingualText& title, qint64 totalItems,
                   qint64 totalBytes);
void beginProgress(ActivityState& activity, const BilingualText& title, qint64 totalItems, qint64 totalBytes);

} // namespace orvalink
