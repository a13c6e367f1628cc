#pragma once

#include <QString>

namespace orvalink::platform {

// What stands at a path itself, as lstat(2) sees it: a link is reported as a link, never followed.
enum class EntryKind { none, directory, symbolicLink, regularFile, other };

struct EntryStatus {
    EntryKind kind = EntryKind::none;
    qint64 length = 0;         // st_size
    qint64 allocatedBytes = 0; // st_blocks * 512
};

// The entry at `path`; kind none when nothing stands there (ENOENT or ENOTDIR on the way). Throws
// PlatformError for any other failure, so an unreadable entry is never taken for a free path.
EntryStatus entryStatus(const QString& path);

// True when a directory itself stands at `path`: a link to one is not (lstat, never followed).
// Throws like entryStatus().
bool isRealDirectory(const QString& path);

// The longest file name, in bytes, that the file system holding `directory` accepts (pathconf
// _PC_NAME_MAX); 255 when it cannot be asked.
qint64 maximumNameLength(const QString& directory);

} // namespace orvalink::platform
