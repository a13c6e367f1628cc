#pragma once

#include "diskops/RecoveredOperation.h"

namespace orvalink {

class InterruptedOperation;

// Puts right an undo an earlier process left unfinished. Once the restored copy was whole (or has
// taken the source's place) the undo is finished: the mapping goes, the task is recorded, and of
// the copy at the target only what the source holds unchanged is removed. Before that, the partial
// copy goes and the link stays. A restore whose copy cannot be told whole is left as found.
RecoveredOperation recoverUndo(InterruptedOperation& operation);

} // namespace orvalink
