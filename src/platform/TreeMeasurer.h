#pragma once

#include "platform/CancellationToken.h"

#include <QStringList>
#include <optional>
#include <vector>

namespace orvalink::platform {

struct TreeWalkOptions {
    // With false, names that begin with "." below a root are skipped together with their contents.
    bool includeHidden = true;
    // Walkers sharing one stack of directories; clamped to 1..16. The totals never depend on it.
    int threads = 1;
    CancellationToken cancellation;
    // Directories held open at once so their children can be opened relative to them; beyond it,
    // children are found by full path (slower, but a deep, bushy tree cannot exhaust descriptors).
    int openDirectoryBudget = 256;
};

// The bytes each tree occupies: for every regular file at or below a root, the larger of its length
// and its allocated blocks (st_blocks * 512), so sparse files count by length and small files by
// their blocks. Symbolic links are never followed, not even at a root (such a root counts as
// unreadable), so a directory moved elsewhere behind a link is never counted. Directories that cannot
// be opened or read are passed over. A root that cannot be opened as a directory gives none.
//
// All roots are walked together, so one huge root keeps every thread busy. Throws WalkCancelled when
// the token is cancelled before the walk ends (polled for every directory and every directory-read
// batch).
std::vector<std::optional<qint64>> measureTrees(const QStringList& roots, const TreeWalkOptions& options);

} // namespace orvalink::platform
