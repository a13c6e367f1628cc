#pragma once

#include "diskops/UndoService.h"
#include "model/LinkMapping.h"

#include <QCoro/QCoroTask>

namespace orvalink {

class MainViewModel;

// Restores the newest record of the undo history: the very record whose size was estimated and
// whose failure is triaged (by its id), never one the service would pick later. Never throws.
QCoro::Task<> undoLastMigration(MainViewModel& viewModel);

// Restores the ticked records one after another; a failure never stops the batch. Never throws.
QCoro::Task<> undoSelectedMigration(MainViewModel& viewModel);

// Restores `mapping` into an occupied original path, merging (append) or setting the occupant
// aside (overwrite). Never throws.
QCoro::Task<> forceUndoMigration(MainViewModel& viewModel, LinkMapping mapping, ForcedUndoRestoreMode mode);

} // namespace orvalink
