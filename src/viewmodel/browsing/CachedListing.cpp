#include "viewmodel/browsing/CachedListing.h"

#include "diskops/ScanService.h"
#include "store/ScanCacheStore.h"

#include <QHash>
#include <QSet>

namespace orvalink {

namespace {

// Whether an entry seen before still describes what the disk holds under its path now.
bool sameKind(const DirectoryEntry& before, const DirectoryEntry& now)
{
    return before.kind == now.kind && before.isSymbolicLink == now.isSymbolicLink &&
           before.isAliasFile == now.isAliasFile;
}

QHash<QString, const DirectoryEntry*> byPath(const QList<DirectoryEntry>& entries)
{
    QHash<QString, const DirectoryEntry*> paths;
    paths.reserve(entries.size());
    for (const DirectoryEntry& entry : entries)
        paths.insert(entry.path, &entry);
    return paths;
}

} // namespace

CachedListing reconciledListing(const QList<DirectoryEntry>& cached, const QList<DirectoryEntry>& listed)
{
    const QHash<QString, const DirectoryEntry*> onDisk = byPath(listed);
    CachedListing result;
    result.entries.reserve(listed.size());
    QSet<QString> known;
    known.reserve(cached.size());
    for (const DirectoryEntry& kept : cached) {
        known.insert(kept.path);
        const DirectoryEntry* live = onDisk.value(kept.path);
        if (!live) {
            result.corrected = true;
            continue;
        }
        const bool same = sameKind(kept, *live);
        result.entries.append(same ? kept : *live);
        result.corrected = result.corrected || !same;
    }
    for (const DirectoryEntry& live : listed) {
        if (known.contains(live.path))
            continue;
        result.entries.append(live);
        result.corrected = true;
    }
    return result;
}

QList<DirectoryEntry> keepingKnownSizes(QList<DirectoryEntry> listed, const QList<DirectoryEntry>& known)
{
    const QHash<QString, const DirectoryEntry*> before = byPath(known);
    for (DirectoryEntry& entry : listed) {
        if (!entry.isDirectory() || entry.isSymbolicLink)
            continue;
        if (const DirectoryEntry* shown = before.value(entry.path); shown && sameKind(*shown, entry))
            entry.sizeBytes = shown->sizeBytes;
    }
    return listed;
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
