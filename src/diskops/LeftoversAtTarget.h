#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace orvalink {

// What putLeftoversAtTarget did.
struct ArrivedLeftovers {
    // The "append-preserved" siblings in the target that hold the versions the newer entries
    // replaced: made now, or by an earlier start that was cut short.
    QStringList olderVersions;
    // What stays at the staging path: it could not be put in place (a read-only volume, say).
    QStringList stayed;
};

// For a start that finishes a migration whose whole copy stands at `target` while the staged
// original at `staging` was not yet gone: what stays there, once its duplicates went, is newer than
// the copy (written or made after the copy took it), so it takes its place in the copy, each entry
// of the copy it replaces kept beside it in an "append-preserved" sibling. The caller has checked
// both to be the migration's own, removed the staged duplicates of what the copy holds, and recorded
// `waiting` (see waitingLeftovers) before this runs.
//
// Each entry is copied into an "arriving" sibling of its place in the target, what stands in that
// place moves aside, the copy takes the place, and only then does the staged entry go (once it is
// equal to what stands there). A start cut short anywhere in that leaves the staged entry whole:
// the next one removes the "arriving" siblings of `waiting` (they are never needed) and goes again.
// A single file's copy is the target itself, which its identity tells: `rootArrival` is given the
// path of the newer copy, whole, before the older one moves aside and the newer takes its place
// (for the record; a start cut short between those two renames finds neither at the target and
// leaves the operation as found, both versions named), and may throw to keep the target as it is.
// Never throws.
using RootArrival = std::function<void(const QString& arrived)>;
ArrivedLeftovers putLeftoversAtTarget(const QString& staging, const QString& target,
                                      const QStringList& waiting, const RootArrival& rootArrival);

} // namespace orvalink
