#pragma once

#include <QString>

namespace orvalink {

class PathMappingService;

// Undo and repair act on paths read from the history, which may have come from a cloud snapshot
// rather than from a migration on this computer. Returns when the record's paths are safe to act
// on; otherwise throws OrvalinkError::disallowedPath (E012) with the source path: a path that is not
// absolute and standardized, a source that is "/", a protected location (the system roots, the home
// directory, its Library), inside the Trash or an application container root, a target that is "/"
// or a protected location, or a source and target that lie inside each other.
void validateHistoryRecordPaths(const QString& sourcePath, const QString& targetPath,
                                const PathMappingService& pathMapping);

} // namespace orvalink
