#pragma once

#include "model/DirectoryEntry.h"
#include "platform/CancellationToken.h"

#include <QList>
#include <QString>
#include <optional>

namespace orvalink {

class ScanCacheStore;
class ScanService;

// A directory's listing from the scan cache, checked against what is on disk now. The cache keeps a
// directory as it was last measured, and a migration or undo that ended without the listing being
// reloaded (the window closed during a batch) leaves it behind what happened: a folder moved away
// and linked would show as the folder it was, with its old size counted, and a folder made since
// would not show at all.
struct CachedListing {
    QList<DirectoryEntry> entries;
    // Whether the disk differed from the cache (the corrected listing is to be saved).
    bool corrected = false;
};

// The cached entries in their order, each kept (with its measured size) while the disk still holds
// an entry of that path of the same kind, a link still a link and a folder still a folder; the entry
// of `listed` (the live listing, unmeasured) takes the place of one that changed, and the entries
// the disk no longer holds go. The names the disk holds and the cache does not follow in the order
// `listed` gives them, as listed: a link as a link, a folder unsized until it is measured.
CachedListing reconciledListing(const QList<DirectoryEntry>& cached, const QList<DirectoryEntry>& listed);

// `listed` (a live listing, its folders unmeasured) with the sizes `known` (the listing shown until
// now) gives its folders of the same path that are still folders: right after a migration or undo
// the other folders keep their sizes, and so their places in the order, until their new sizes
// arrive. An entry whose kind changed (a folder moved and linked, a link replaced by its folder) and
// every file keep what the disk says now.
QList<DirectoryEntry> keepingKnownSizes(QList<DirectoryEntry> listed, const QList<DirectoryEntry>& known);

// The cached listing of `path` made right against the disk; none when the cache holds no listing
// of it or the directory cannot be listed now (the live listing then says why).
std::optional<CachedListing> loadCachedListing(const ScanCacheStore& cache, const ScanService& scan,
                                               const QString& path, bool includeHiddenFiles,
                                               const platform::CancellationToken& cancellation);

} // namespace orvalink
