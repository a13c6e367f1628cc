#pragma once

#include "diskops/UndoService.h"
#include "model/LinkMapping.h"
#include "viewmodel/state/WorkflowRecords.h"

#include <QCoro/QCoroTask>
#include <QUuid>

namespace orvalink {

class DiskWorkContext;

// A restore run asks its questions within the run: when an item meets an occupied source path (which
// forced mode?) or programs that hold it (end them?), the run publishes the question
// (ActivityState::undoConflictPrompt), waits for the answer (answerUndoConflict) and goes on with
// that same item, given every answer so far. The item counts once it is settled; Cancel leaves it
// unrestored and counts it failed. Until then the run is busy, as it is while an item moves.

// Restores the newest record of the undo history: the very record whose size was estimated and
// whose failure is triaged (by its id), never one the service would pick later. Never throws.
QCoro::Task<> undoLastMigration(DiskWorkContext& context);

// Restores the ticked records one after another; a failure never stops the batch. Never throws.
QCoro::Task<> undoSelectedMigration(DiskWorkContext& context);

// Restores `mapping` into an occupied original path, merging (append) or setting the occupant
// aside (overwrite). While other disk work runs it says so in the info line instead. Never throws.
QCoro::Task<> forceUndoMigration(DiskWorkContext& context, LinkMapping mapping, ForcedUndoRestoreMode mode);

// The user's answer to the question `promptID`: the published prompt goes, and the run waiting on
// it goes on. An answer no run waits for (it came too late) changes nothing else.
void answerUndoConflict(DiskWorkContext& context, const QUuid& promptID, UndoConflictAnswer answer);

} // namespace orvalink
