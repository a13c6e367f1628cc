#pragma once

#include "model/DirectoryEntry.h"

#include <QList>
#include <QString>
#include <optional>

namespace orvalink {

// The last listing of every directory shown, in "scan_cache.json", keyed by the standardized
// directory path and the hidden-files flag ("<path>|1" or "<path>|0"). Nothing expires. Neither
// operation reports failures: a cache miss is always a safe answer.
class ScanCacheStore {
public:
    explicit ScanCacheStore(QString filePath);

    const QString& filePath() const { return m_filePath; }

    // The cached listing, or none when there is none or the file is unreadable (decoding is all
    // or nothing). An empty cached listing is an empty list, not none.
    std::optional<QList<DirectoryEntry>> loadEntries(const QString& directoryPath,
                                                     bool includeHiddenFiles) const;

    // Replaces the listing under the key and keeps the others; scans are stored newest first.
    void saveEntries(const QList<DirectoryEntry>& entries, const QString& directoryPath,
                     bool includeHiddenFiles);

    static QString cacheKey(const QString& directoryPath, bool includeHiddenFiles);

private:
    QString m_filePath;
};

} // namespace orvalink
