#include "viewmodel/browsing/DirectoryLoader.h"

#include "platform/FreedMemory.h"
#include "viewmodel/browsing/CachedListing.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/history/PersistedStateReader.h"
#include "viewmodel/texts/ErrorText.h"

#include <QHash>
#include <algorithm>
#include <limits>

namespace orvalink {

namespace {

// Sizes come from the file system; absurd ones must not overflow a total.
qint64 saturatingAdd(qint64 total, qint64 value)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(total, value, &sum))
        return value > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

} // namespace

DirectoryLoader::DirectoryLoader(ViewModelContext& context, PersistedStateReader& persisted)
    : m_context(context), m_persisted(persisted)
{}

DirectoryLoader::~DirectoryLoader()
{
    m_currentWalk.cancel();
}

FlowTicket DirectoryLoader::beginRequest()
{
    m_currentWalk.cancel();
    m_currentWalk = platform::CancellationToken::create();
    return m_requests.advance();
}

void DirectoryLoader::retire()
{
    m_currentWalk.cancel();
    m_requests.retire();
}

void DirectoryLoader::startLoad(bool forceLiveRefresh)
{
    startDetached(loadCurrentDirectoryForNavigation(forceLiveRefresh));
}

void DirectoryLoader::startScan()
{
    startDetached(scanCurrentDirectory());
}

void DirectoryLoader::setShowAllFiles(bool shown)
{
    if (m_context.browsing().showAllFiles() == shown)
        return;
    m_context.browsing().setShowAllFiles(shown);
    startScan();
}

QCoro::Task<> DirectoryLoader::loadCurrentDirectoryForNavigation(bool forceLiveRefresh)
{
    m_context.browsing().setIsScanning(true);
    m_context.activity().setErrorMessage(std::nullopt);
    const FlowTicket request = beginRequest();
    const platform::CancellationToken walk = m_currentWalk;
    const QString path = m_context.browsing().currentDirectoryPath();
    const bool includeHidden = m_context.browsing().showHiddenFiles();
    ViewModelServices& services = m_context.services();
    BackgroundRunner& background = m_context.background();

    bool cacheMissed = false;
    if (!forceLiveRefresh && !m_context.browsing().realtimeRefreshEnabled()) {
        // The cache says how large things were; the disk says what they are now (a folder moved
        // and linked while no listing was reloaded, or one restored).
        auto lookup =
            background.run([cache = services.scanCacheStore, scan = services.scanService, path, includeHidden,
                            walk] { return loadCachedListing(*cache, *scan, path, includeHidden, walk); });
        const std::optional<CachedListing> cached = co_await std::move(lookup);
        if (!request.isCurrent())
            co_return;
        if (cached) {
            applyDirectoryEntries(cached->entries);
            // The correction is saved before any sizes are measured: a start that comes first (the
            // window closed meanwhile) finds the names as they are, not as the cache had them. The
            // load counts as running until then, so no gap shows between it and the size refresh.
            if (cached->corrected) {
                auto save = persistScanCache(cached->entries, path, includeHidden);
                co_await std::move(save);
                if (!request.isCurrent())
                    co_return;
            }
            m_context.browsing().setIsScanning(false);
            const bool sizesMissing = std::any_of(
                cached->entries.cbegin(), cached->entries.cend(),
                [](const DirectoryEntry& entry) { return entry.isDirectory() && entry.sizeBytes == 0; });
            if (sizesMissing)
                startBackgroundRefresh(request, path, cached->entries, includeHidden, walk);
            co_return;
        }
        cacheMissed = true;
    }

    auto listing = background.runCatching([scan = services.scanService, path, includeHidden, walk] {
        return scan->listDirectory(path, includeHidden, walk);
    });
    auto listed = co_await std::move(listing);
    if (!request.isCurrent())
        co_return; // isScanning belongs to the newer request
    if (!listed.succeeded()) {
        m_context.browsing().setIsScanning(false);
        showListingFailure(listed.error());
        co_return;
    }
    // A listing of the directory shown (after a migration or undo) keeps the sizes it showed until
    // the refresh brings new ones: no folder reads 0 B meanwhile, and the order does not jump.
    const QList<DirectoryEntry> entries =
        keepingKnownSizes(listed.takeValue(), m_context.browsing().entries());
    applyDirectoryEntries(entries);
    // Saved now and again once the sizes are known: a start that comes between the two (the window
    // closed while the folders were measured) shows this listing, not an older one. After a cache
    // miss no older one is there to show: the save after the sizes is the only one, unless none
    // follows (an empty folder is not measured).
    if (!cacheMissed || entries.isEmpty()) {
        auto save = persistScanCache(entries, path, includeHidden);
        co_await std::move(save);
        if (!request.isCurrent())
            co_return;
    }
    m_context.browsing().setIsScanning(false);
    if (entries.isEmpty())
        co_return;
    if (forceLiveRefresh || cacheMissed || m_context.browsing().realtimeRefreshEnabled())
        startBackgroundRefresh(request, path, entries, includeHidden, walk);
}

void DirectoryLoader::startBackgroundRefresh(const FlowTicket& request, const QString& directoryPath,
                                             const QList<DirectoryEntry>& listedEntries,
                                             bool includeHiddenFiles, const platform::CancellationToken& walk)
{
    startDetached(
        refreshDirectorySizesInBackground(request, directoryPath, listedEntries, includeHiddenFiles, walk));
}

QCoro::Task<> DirectoryLoader::refreshDirectorySizesInBackground(FlowTicket request, QString directoryPath,
                                                                 QList<DirectoryEntry> listedEntries,
                                                                 bool includeHiddenFiles,
                                                                 platform::CancellationToken walk)
{
    if (listedEntries.isEmpty())
        co_return;
    m_context.browsing().setIsBackgroundScanning(true);
    auto scan = m_context.background().runCatching(
        [scanService = m_context.services().scanService, directoryPath, includeHiddenFiles, walk] {
            return scanService->scanDirectory(directoryPath, 0, includeHiddenFiles, walk);
        });
    auto scanned = co_await std::move(scan);
    if (!request.isAlive())
        co_return;
    // A stale or failed refresh publishes nothing; the listing keeps the sizes it had.
    if (!request.isCurrent() || !scanned.succeeded()) {
        m_context.browsing().setIsBackgroundScanning(false);
        co_return;
    }

    QHash<QString, qint64> sizes;
    for (const DirectoryEntry& entry : scanned.value())
        sizes.insert(entry.path, entry.sizeBytes);
    QList<DirectoryEntry> updated = m_context.browsing().entries();
    for (DirectoryEntry& entry : updated) {
        if (const auto size = sizes.constFind(entry.path); size != sizes.cend())
            entry.sizeBytes = *size;
    }
    applyDirectoryEntries(updated);
    auto save = persistScanCache(updated, directoryPath, includeHiddenFiles);
    co_await std::move(save);
    if (!request.isAlive())
        co_return;
    m_context.browsing().setIsBackgroundScanning(false);
}

QCoro::Task<> DirectoryLoader::scanCurrentDirectory()
{
    m_context.browsing().setIsScanning(true);
    m_context.activity().setErrorMessage(std::nullopt);
    const FlowTicket request = beginRequest();
    const platform::CancellationToken walk = m_currentWalk;
    const QString path = m_context.browsing().currentDirectoryPath();
    const qint64 minimumSize =
        m_context.browsing().showAllFiles() ? 0 : m_context.browsing().config().minLargeSizeBytes;
    const bool includeHidden = m_context.browsing().showHiddenFiles();

    // Every entry is measured whatever the minimum, so the whole listing is at hand: the cache keeps
    // all of it and the next start shows what this scan found, while only the large entries show.
    auto scan = m_context.background().runCatching(
        [scanService = m_context.services().scanService, path, includeHidden, walk] {
            return scanService->scanDirectory(path, 0, includeHidden, walk);
        });
    auto scanned = co_await std::move(scan);
    if (!request.isCurrent())
        co_return;
    m_context.browsing().setIsScanning(false);
    if (!scanned.succeeded()) {
        showListingFailure(scanned.error());
        co_return;
    }
    const QList<DirectoryEntry> whole = scanned.takeValue();
    QList<DirectoryEntry> entries = whole;
    entries.removeIf([minimumSize](const DirectoryEntry& entry) { return entry.sizeBytes < minimumSize; });
    applyDirectoryEntries(entries);
    auto save = persistScanCache(whole, path, includeHidden);
    co_await std::move(save);
    if (!request.isAlive())
        co_return;
    const QString count = QString::number(entries.size());
    m_context.activity().setInfoMessage(
        BilingualText(QStringLiteral("扫描完成，共 ") + count + QStringLiteral(" 项：") + path,
                      QStringLiteral("Scanned ") + count + QStringLiteral(" items from ") + path));
}

QCoro::Task<> DirectoryLoader::persistScanCache(QList<DirectoryEntry> entries, QString directoryPath,
                                                bool includeHiddenFiles)
{
    // The store keeps every other directory's listing: saves are serialized under its file lock and
    // each one merges into what is on disk, so overlapping loads never drop each other's entries.
    return m_context.background().run([cache = m_context.services().scanCacheStore,
                                       entries = std::move(entries), directoryPath = std::move(directoryPath),
                                       includeHiddenFiles] {
        cache->saveEntries(entries, directoryPath, includeHiddenFiles);
        // The file's text and its parsed form for a big folder are freed here, on a worker thread.
        platform::releaseFreedMemory();
    });
}

void DirectoryLoader::showListingFailure(const std::exception_ptr& error)
{
    m_context.activity().setErrorMessage(BilingualText::same(localizedDescription(error)));
    m_context.browsing().setEntries({});
    m_context.browsing().setCurrentDirectorySizeBytes(0);
    m_context.browsing().setSelectedSizeBytes(0);
    m_context.browsing().setFocusedEntryPath(std::nullopt);
}

void DirectoryLoader::applyDirectoryEntries(const QList<DirectoryEntry>& entries)
{
    m_context.browsing().setEntries(entries);
    qint64 total = 0;
    for (const DirectoryEntry& entry : entries)
        total = saturatingAdd(total, entry.sizeBytes);
    m_context.browsing().setCurrentDirectorySizeBytes(total);
    updateSelectedSize(entries);
    m_persisted.refreshStorageUsageSnapshot();
    const auto& focus = m_context.browsing().focusedEntryPath();
    if (focus && std::none_of(entries.cbegin(), entries.cend(),
                              [&](const DirectoryEntry& entry) { return entry.path == *focus; }))
        m_context.browsing().setFocusedEntryPath(std::nullopt);
}

void DirectoryLoader::updateSelectedSize(const QList<DirectoryEntry>& entries)
{
    const QSet<QString>& selected = m_context.browsing().selectedPaths();
    if (selected.isEmpty()) {
        m_context.browsing().setSelectedSizeBytes(0);
        return;
    }
    QHash<QString, qint64> sizes;
    for (const DirectoryEntry& entry : entries)
        sizes.insert(entry.path, entry.sizeBytes);
    qint64 total = 0;
    for (const QString& path : selected)
        total = saturatingAdd(total, sizes.value(path, 0));
    m_context.browsing().setSelectedSizeBytes(total);
}

} // namespace orvalink
