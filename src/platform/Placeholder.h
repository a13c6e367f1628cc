#pragma once

#include <QString>

namespace orvalink::platform {

// The link left at a moved item's old path, and what may be removed without asking: a symbolic
// link (dangling or not) or an empty directory. Nothing here recurses or follows a link in the
// last component.

// Removes the placeholder at `path`: a symbolic link with unlink, an empty directory with rmdir,
// after an lstat says which. Anything else stays. Throws PlatformError: ENOTDIR for an entry that
// is neither (a file, a FIFO...), ENOTEMPTY for a directory that holds anything, ENOENT when
// nothing is there, EBUSY for a mount point, or the errno of the removal.
void removePlaceholder(const QString& path);

// Creates a symbolic link at `linkPath` whose text is `target`. Never replaces anything: EEXIST
// when the path is taken, even by a dangling link. Throws PlatformError.
void createSymbolicLink(const QString& linkPath, const QString& target);

struct EntryLocation;

// The same for entries already located (see VerifiedDirectory::locate).
void removePlaceholder(const EntryLocation& location);
void createSymbolicLink(const EntryLocation& location, const QString& target);

} // namespace orvalink::platform
