#pragma once

#include <QByteArray>
#include <functional>
#include <sys/stat.h>

namespace orvalink::platform {

// Removes, on several threads, the files (anything but directories) with one name below the entry
// `name` of the directory `parentFd` that `mayRemove` allows: a head start for removeTreeAt(), which
// must follow with the same rule to take the directories, the files with several names (one after
// another: see TreeCopier::copiedUnchanged) and whatever is left, and to report. Nothing is reported
// here. Each file is looked at again just before it goes, so what changed since the walk saw it
// stays. Never follows a link, never enters another mounted file system or a directory
// that `mayRemove` refuses, and leaves a root that is not a directory alone. `mayRemove` is given
// where each entry lies below the root, as RemovalRules::mayRemoveAt is, and is called from several
// threads at once.
void sweepFiles(
    int parentFd, const QByteArray& name,
    const std::function<bool(const struct stat& info, const QByteArray& relativePath)>& mayRemove);

} // namespace orvalink::platform
