#pragma once

#include <QString>

namespace orvalink {

class PathMappingService;

// The paths of a history record in standard form: the ones undo and repair act on.
struct HistoryRecordPaths {
    QString sourcePath;
    QString targetPath;
};

// Undo and repair act on paths read from the history, which may have come from a cloud snapshot
// rather than from a migration on this computer. Returns the record's paths in standard form (a
// trailing "/" or a "." or ".." component is no reason to refuse) when they are safe to act on;
// otherwise throws OrvalinkError::disallowedPath (E012) with the source path. Refused are: a path
// that is not absolute, a source that is "/", inside the Trash or an application container root,
// a target that is "/" or a protected location, and a source and target that lie inside each
// other. A source that is itself a protected location (a system root, the home directory, its
// Library) can only have come from a migration made with strict mode off; it is accepted while
// the link there still points at the record's target, as that migration left it, and refused
// otherwise.
HistoryRecordPaths validateHistoryRecordPaths(const QString& sourcePath, const QString& targetPath,
                                              const PathMappingService& pathMapping);

} // namespace orvalink
