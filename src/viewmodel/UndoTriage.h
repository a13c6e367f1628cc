#pragma once

#include "diskops/UndoService.h"
#include "model/LinkMapping.h"

#include <QString>
#include <exception>
#include <optional>

namespace orvalink {

class MainViewModel;

// For an occupied original path: publishes the choice of a forced restore of `mapping` and
// returns true; otherwise changes nothing and returns false.
bool presentUndoConflictPromptIfNeeded(MainViewModel& viewModel, const std::exception_ptr& error,
                                       const LinkMapping& mapping);

// The failure text of a restore of `mapping`.
QString undoFailureMessage(const MainViewModel& viewModel, const std::exception_ptr& error,
                           const LinkMapping& mapping);

// Sorts one failed restore: an occupied path opens the forced-restore prompt (no text); a
// permission failure opens the access prompt and still gives the failure text; anything else gives
// the failure text.
std::optional<QString> triageUndoFailure(MainViewModel& viewModel, const std::exception_ptr& error,
                                         const LinkMapping& mapping);

// The information text after a successful forced restore.
QString forceUndoSuccessMessage(const MainViewModel& viewModel, const UndoResult& result);

} // namespace orvalink
