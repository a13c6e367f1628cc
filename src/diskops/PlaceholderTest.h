#pragma once

#include <QString>

namespace orvalink {

// Whether the item at `path` is only a placeholder that may be removed without asking: a symbolic
// link (dangling or not; links are never followed here) or a directory with no entry at all,
// hidden ones included. Anything else (a file, a non-empty directory, nothing, an entry that cannot
// be examined or listed) gives false.
bool isPlaceholder(const QString& path);

} // namespace orvalink
