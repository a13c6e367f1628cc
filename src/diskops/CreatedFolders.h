#pragma once

#include <QString>
#include <QStringList>

namespace orvalink {

// The folders that creating `path` with its parents would make: `path` and those of its ancestors
// that do not exist yet, deepest first. Links on the way count as existing.
QStringList missingFolders(const QString& path);

// The ancestors of a migrated item's target that lie below its target root, deepest first. The
// target of source S under root R is R + S, so these are the folders that mirror S's parents.
// Empty when `targetPath` is not built that way.
QStringList foldersBelowTargetRoot(const QString& sourcePath, const QString& targetPath);

// Removes each of `folders` (deepest first) that is an empty real directory; anything else stays.
// Never throws.
void removeEmptyFolders(const QStringList& folders);

} // namespace orvalink
