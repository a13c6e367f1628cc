#pragma once

#include "diskops/RecoveredOperation.h"

namespace orvalink {

class InterruptedOperation;

// Puts right a migration an earlier process left unfinished. While the copy at the target was not
// yet whole and flushed, the data goes back to the source path and the operation's partial copy is
// removed; once it was, the migration is finished (link, mapping, task), and of the original only
// what the copy holds unchanged is removed. A rollback that had begun bringing the data back from
// the target is finished the way it went. What the record cannot account for is left as found.
RecoveredOperation recoverMigration(InterruptedOperation& operation);

} // namespace orvalink
