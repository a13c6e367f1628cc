#pragma once

#include "model/DirectoryEntry.h"
#include "platform/CancellationToken.h"

#include <QList>
#include <QString>
#include <atomic>

namespace orvalink {

struct AppConfig;

// Turns directories into DirectoryEntry records and measures trees. Sizes are the larger of a file's
// length and its allocated blocks; links count 0 and are never followed, so a directory that was
// migrated behind a link is never counted on the external disk. Keeps no state besides the thread
// count; every call runs on the caller's thread (plus its own walkers) and may be cancelled through
// the token, which makes it throw platform::WalkCancelled.
class ScanService {
public:
    // `concurrency` walkers share each recursive walk; clamped to 1..16. Without it, the default of
    // the setting maxConcurrentScanTasks.
    ScanService();
    explicit ScanService(int concurrency);
    // The stored setting maxConcurrentScanTasks, clamped.
    static ScanService fromConfig(const AppConfig& config);

    int concurrency() const { return m_concurrency.load(std::memory_order_relaxed); }
    // Takes effect for walks that start afterwards; safe while other threads walk.
    void setConcurrency(int concurrency);

    // The immediate children, in the order the file system gives them: directories and links sized
    // 0, other entries by their own size. Throws OrvalinkError::sourceNotFound (E005) when `path` is
    // not an existing directory (links followed: a link to a directory lists it), and
    // platform::PlatformError when it cannot be read. Children that cannot be examined are left out.
    QList<DirectoryEntry> listDirectory(const QString& path, bool includeHiddenFiles,
                                        const platform::CancellationToken& cancellation = {}) const;

    // As listDirectory, with every directory that is not a link sized by its whole tree (0 when it
    // cannot be walked), keeping only entries of at least `minimumSizeBytes`. All subdirectories are
    // measured in one shared walk.
    QList<DirectoryEntry> scanDirectory(const QString& path, qint64 minimumSizeBytes, bool includeHiddenFiles,
                                        const platform::CancellationToken& cancellation = {}) const;

    // Bytes of every regular file below `path`; unreadable parts are passed over, and a path that is
    // no directory (a file, a link, missing) gives 0. With `includeHiddenFiles` false, dot-names are
    // skipped with everything below them.
    qint64 directorySize(const QString& path, bool includeHiddenFiles,
                         const platform::CancellationToken& cancellation = {}) const;

private:
    QList<DirectoryEntry> entriesOf(const QString& path, bool includeHiddenFiles,
                                    const platform::CancellationToken& cancellation) const;

    std::atomic<int> m_concurrency;
};

} // namespace orvalink
