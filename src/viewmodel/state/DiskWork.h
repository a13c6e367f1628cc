#pragma once

namespace orvalink {

// Which disk work runs now; at most one at a time (DiskWorkflows::mayStartDiskWork() is the rule,
// so a repair never replaces a link that an undo is moving). A new kind of disk work adds a value
// here and its texts where the compiler asks for them (the switches have no default).
enum class DiskWork {
    none,
    // A migration batch, or one more attempt at a failed item (as it was, after ending its
    // holders, or forced).
    migration,
    // The undo of the last record or of the selected records, or a forced restore.
    undo,
    // The repair of the whole history's broken links (one batch), or of the selected ones.
    linkRepair,
    // The start-up puts right the operations an earlier run left unfinished.
    recovery,
};

} // namespace orvalink
