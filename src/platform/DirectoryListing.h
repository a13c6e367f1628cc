#pragma once

#include "platform/CancellationToken.h"

#include <QString>
#include <vector>

namespace orvalink::platform {

// One child of a listed directory, as lstat(2) sees it (links are not followed).
struct ListedItem {
    QString name;
    bool isDirectory = false;
    bool isSymbolicLink = false;
    bool isRegularFile = false;
    qint64 length = 0;               // st_size
    qint64 allocatedBytes = 0;       // st_blocks * 512
    qint64 modifiedMilliseconds = 0; // st_mtim since the epoch
};

// The immediate children of `directory` in the order the file system gives them. The directory itself
// is opened following links (a link to a directory lists that directory). With `includeHidden` false,
// names that begin with "." are left out. A child that vanishes or cannot be examined between reading
// the directory and lstat is left out. Throws PlatformError when the directory cannot be opened or
// read, WalkCancelled when the token is cancelled.
std::vector<ListedItem> listDirectory(const QString& directory, bool includeHidden,
                                      const CancellationToken& cancellation = {});

// True when `path` exists and is a directory, following links.
bool isDirectory(const QString& path);

} // namespace orvalink::platform
