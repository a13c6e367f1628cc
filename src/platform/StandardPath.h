#pragma once

#include <QString>

namespace orvalink::platform {

// The lexical standard form of a path: absolute (a relative text is taken against the current
// directory), no empty, "." or ".." components (".." never climbs above "/"), no trailing "/".
// Symbolic links are not resolved and a leading "~" is not expanded. An empty text stands for the
// current directory.
QString standardizedPath(const QString& path);

// The path without its last component, taken as written (nothing is standardized or resolved):
// "/a/b" gives "/a" and "/a/" gives "/a" (the trailing "/" ends an empty last component). A
// root-level path ("/a") and "/" itself give "/", and so does a text without any "/": callers pass
// absolute paths, and "/" is the one parent that always exists.
QString parentPath(const QString& path);

// True when `path` equals `ancestor` or lies below it; both are taken in standard form.
bool isSameOrDescendant(const QString& path, const QString& ancestor);

} // namespace orvalink::platform
