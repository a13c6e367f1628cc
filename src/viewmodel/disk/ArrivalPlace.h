#pragma once

#include "platform/CancellationToken.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace orvalink {

namespace platform {
class IncrementalTreeMeasurer;
}
class ScanService;

// Bytes present at `path` for the progress figures: the tree of a directory (links inside count
// nothing), the larger of the length and the allocated blocks of a file, 0 for anything else. A
// link at `path` itself is not followed: during an undo the link still stands where the data
// arrives, and following it would count the whole tree at once. Throws platform::WalkCancelled
// when `cancellation` fires during a walk. Blocking.
qint64 readSizeForProgress(const QString& path, const ScanService& scan,
                           const platform::CancellationToken& cancellation = {});

// Bytes at `path` as readSizeForProgress counts them, a directory measured by `measurer` (which
// re-reads only what may have changed since its last call); 0 for nothing there. Blocking; throws
// platform::WalkCancelled.
qint64 remeasuredBytes(const QString& path, platform::IncrementalTreeMeasurer& measurer,
                       const platform::CancellationToken& cancellation);

// Where the data of a blocking disk call arrives, for the progress monitor: a path itself (the
// target of a migration), or the hidden restore sibling that an undo fills beside the source before
// the data takes the source's place (ReservedSuffix::restoring). The undo draws the sibling's name
// itself, so the sibling is looked for while the call runs; until then, and once the data has taken
// the source's place, nothing more arrives there.
//
// Used by one thread at a time (the monitor's walks run one after the other).
class ArrivalPlace {
public:
    // None for an empty path.
    static std::shared_ptr<ArrivalPlace> at(QString path);
    static std::shared_ptr<ArrivalPlace> restoreSiblingOf(QString source);
    ~ArrivalPlace();
    ArrivalPlace(const ArrivalPlace&) = delete;
    ArrivalPlace& operator=(const ArrivalPlace&) = delete;

    // Before the call: what stands there already has not arrived (the bytes at the path; a restore
    // sibling an earlier run left). Blocking; throws platform::WalkCancelled.
    void takeStock(const ScanService& scan, const platform::CancellationToken& cancellation = {});
    // The bytes that arrived since takeStock(), measuring again only what may have changed since
    // the previous call. Blocking; throws platform::WalkCancelled.
    qint64 arrivedBytes(const platform::CancellationToken& cancellation);

private:
    ArrivalPlace(QString path, bool restoreSibling);
    // The path the data arrives at now; empty while the call has made none.
    QString locate() const;

    QString m_path;
    bool m_restoreSibling;
    qint64 m_present = 0;
    QStringList m_earlierSiblings;
    // The path measured last, once found.
    QString m_measured;
    std::unique_ptr<platform::IncrementalTreeMeasurer> m_measurer;
};

} // namespace orvalink
