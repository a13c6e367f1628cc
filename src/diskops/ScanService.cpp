#include "diskops/ScanService.h"

#include "model/AppConfig.h"
#include "model/OrvalinkError.h"
#include "platform/DirectoryListing.h"
#include "platform/StandardPath.h"
#include "platform/TreeMeasurer.h"

#include <QUuid>
#include <algorithm>

namespace orvalink {

namespace {

constexpr int kMaximumConcurrency = 16;

QString childPath(const QString& directory, const QString& name)
{
    return directory == QLatin1String("/") ? directory + name : directory + QLatin1Char('/') + name;
}

DirectoryEntry entryFor(const QString& directory, const platform::ListedItem& item)
{
    DirectoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.name = item.name;
    entry.path = childPath(directory, item.name);
    entry.kind = item.isDirectory ? EntryKind::directory : EntryKind::file;
    // Neither directories (until measured) nor links (never followed) carry a size of their own.
    entry.sizeBytes =
        item.isDirectory || item.isSymbolicLink ? 0 : std::max<qint64>({item.length, item.allocatedBytes, 0});
    entry.modifiedAt = QDateTime::fromMSecsSinceEpoch(item.modifiedMilliseconds, Qt::UTC);
    entry.isSymbolicLink = item.isSymbolicLink;
    entry.isAliasFile = false; // Linux has no alias files
    entry.isHidden = item.name.startsWith(QLatin1Char('.'));
    return entry;
}

} // namespace

ScanService::ScanService() : ScanService(effectiveScanConcurrency(AppConfig())) {}

ScanService::ScanService(int concurrency) : m_concurrency(std::clamp(concurrency, 1, kMaximumConcurrency)) {}

void ScanService::setConcurrency(int concurrency)
{
    m_concurrency.store(std::clamp(concurrency, 1, kMaximumConcurrency), std::memory_order_relaxed);
}

ScanService ScanService::fromConfig(const AppConfig& config)
{
    return ScanService(effectiveScanConcurrency(config));
}

QList<DirectoryEntry> ScanService::entriesOf(const QString& path, bool includeHiddenFiles,
                                             const platform::CancellationToken& cancellation) const
{
    const QString directory = platform::standardizedPath(path);
    if (!platform::isDirectory(directory))
        throw OrvalinkError::sourceNotFound(directory);
    QList<DirectoryEntry> entries;
    for (const auto& item : platform::listDirectory(directory, includeHiddenFiles, cancellation))
        entries.append(entryFor(directory, item));
    return entries;
}

QList<DirectoryEntry> ScanService::listDirectory(const QString& path, bool includeHiddenFiles,
                                                 const platform::CancellationToken& cancellation) const
{
    return entriesOf(path, includeHiddenFiles, cancellation);
}

QList<DirectoryEntry> ScanService::scanDirectory(const QString& path, qint64 minimumSizeBytes,
                                                 bool includeHiddenFiles,
                                                 const platform::CancellationToken& cancellation) const
{
    QList<DirectoryEntry> entries = entriesOf(path, includeHiddenFiles, cancellation);
    QStringList roots;
    QList<qsizetype> rootEntries;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries[i].isDirectory() && !entries[i].isSymbolicLink) {
            roots.append(entries[i].path);
            rootEntries.append(i);
        }
    }
    const auto sizes = platform::measureTrees(roots, {includeHiddenFiles, concurrency(), cancellation});
    for (qsizetype i = 0; i < rootEntries.size(); ++i)
        entries[rootEntries[i]].sizeBytes = sizes[static_cast<size_t>(i)].value_or(0);

    entries.removeIf(
        [minimumSizeBytes](const DirectoryEntry& entry) { return entry.sizeBytes < minimumSizeBytes; });
    return entries;
}

qint64 ScanService::directorySize(const QString& path, bool includeHiddenFiles,
                                  const platform::CancellationToken& cancellation) const
{
    const auto sizes = platform::measureTrees({platform::standardizedPath(path)},
                                              {includeHiddenFiles, concurrency(), cancellation});
    return sizes.front().value_or(0);
}

} // namespace orvalink
