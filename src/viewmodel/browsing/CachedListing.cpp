#include "viewmodel/browsing/CachedListing.h"

#include "diskops/ScanService.h"
#include "store/ScanCacheStore.h"

#include <QHash>

namespace orvalink {

CachedListing reconciledListing(const QList<DirectoryEntry>& cached, const QList<DirectoryEntry>& listed)
{
    QHash<QString, const DirectoryEntry*> onDisk;
    for (const DirectoryEntry& entry : listed)
        onDisk.insert(entry.path, &entry);
    CachedListing result;
    for (const DirectoryEntry& kept : cached) {
        const DirectoryEntry* live = onDisk.value(kept.path);
        if (!live) {
            result.corrected = true;
            continue;
        }
        const bool same = kept.kind == live->kind && kept.isSymbolicLink == live->isSymbolicLink &&
                          kept.isAliasFile == live->isAliasFile;
        result.entries.append(same ? kept : *live);
        result.corrected = result.corrected || !same;
    }
    return result;
}

std::optional<CachedListing> loadCachedListing(const ScanCacheStore& cache, const ScanService& scan,
                                               const QString& path, bool includeHiddenFiles,
                                               const platform::CancellationToken& cancellation)
{
    const std::optional<QList<DirectoryEntry>> cached = cache.loadEntries(path, includeHiddenFiles);
    if (!cached)
        return std::nullopt;
    try {
        // One level, without measuring: what each name is now, not how large.
        return reconciledListing(*cached, scan.listDirectory(path, includeHiddenFiles, cancellation));
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace orvalink
