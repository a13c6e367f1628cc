#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace orvalink {

// Small path helpers for what is shown; the paths themselves are never changed by them.

// The last component as a file URL made from the path gives it: trailing slashes ignored, "/"
// for the root, a relative path taken against the current directory.
QString lastPathComponent(const QString& path);

// True when `path` begins with `root` followed by "/" (the root itself does not count). Both are
// compared as given.
bool isStrictlyUnder(QStringView path, QStringView root);

} // namespace orvalink
