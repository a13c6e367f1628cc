#pragma once

#include "diskops/UndoService.h"
#include "model/LinkMapping.h"

#include <QCoro/QCoroTask>

namespace orvalink {

class DiskWorkContext;

// Restores the newest record of the undo history: the very record whose size was estimated and
// whose failure is triaged (by its id), never one the service would pick later. Never throws.
QCoro::Task<> undoLastMigration(DiskWorkContext& context);

// Restores the ticked records one after another; a failure never stops the batch. Never throws.
QCoro::Task<> undoSelectedMigration(DiskWorkContext& context);

// Ends the programs that hold the migrated item of `mapping`, then restores it. Started from the
// answer to a prompt: while other disk work runs it says so in the info line instead. Never throws.
QCoro::Task<> undoEndingHolders(DiskWorkContext& context, LinkMapping mapping);

// Restores `mapping` into an occupied original path, merging (append) or setting the occupant
// aside (overwrite). Started from the answer to a prompt: while other disk work runs it says so in
// the info line instead. Never throws.
QCoro::Task<> forceUndoMigration(DiskWorkContext& context, LinkMapping mapping, ForcedUndoRestoreMode mode);

} // namespace orvalink
