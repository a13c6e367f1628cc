#pragma once

#include "diskops/UndoIncomplete.h"
#include "diskops/UndoService.h"
#include "model/LinkMapping.h"
#include "viewmodel/state/BilingualText.h"

#include <QString>
#include <exception>
#include <optional>

namespace orvalink {

class ActivityState;
class DiskWorkContext;
class Presentation;

// For an occupied original path: publishes the choice of a forced restore of `mapping` and
// returns true; otherwise changes nothing and returns false.
bool presentUndoConflictPromptIfNeeded(ActivityState& activity, const Presentation& texts,
                                       const std::exception_ptr& error, const LinkMapping& mapping);

// For programs that hold files inside the migrated item: publishes the choice of ending them and
// undoing `mapping`, and returns true; otherwise changes nothing and returns false.
bool presentUndoHoldersPromptIfNeeded(ActivityState& activity, const Presentation& texts,
                                      const std::exception_ptr& error, const LinkMapping& mapping);

// The undo that brought the data home but could not end (see UndoIncomplete), when that is `error`.
std::optional<UndoIncomplete> undoIncompleteOf(const std::exception_ptr& error);

// The failure text of a restore of `mapping`. However many entries an undo left on the volume, it
// names the folder they are in, how many they are and the log that lists them.
BilingualText undoFailureMessage(DiskWorkContext& context, const std::exception_ptr& error,
                                 const LinkMapping& mapping);

// Sorts one failed restore: an occupied path opens the forced-restore prompt and programs holding
// the item the prompt to end them (no text); a permission failure opens the access prompt and still gives the
// failure text; anything else gives the failure text.
std::optional<BilingualText> triageUndoFailure(DiskWorkContext& context, const std::exception_ptr& error,
                                               const LinkMapping& mapping);

// The information text after a successful forced restore.
BilingualText forceUndoSuccessMessage(const Presentation& texts, const UndoResult& result);

} // namespace orvalink
