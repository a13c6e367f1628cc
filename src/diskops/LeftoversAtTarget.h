#pragma once

#include "diskops/HeldLeftovers.h"
#include "platform/EntryIdentity.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <functional>

namespace orvalink {

// What putLeftoversAtTarget did.
struct ArrivedLeftovers {
    // The "append-preserved" siblings in the target that hold the versions the newer entries
    // replaced: made now, or by an earlier start that was cut short.
    QStringList olderVersions;
    // What stays at the staging path, newer than what stands at its place: it could not be put in
    // place (a read-only or full volume, say).
    QStringList waiting;
    // What stays at the staging path because a program holds it.
    HeldLeftovers held;
    // What stays at the staging path although its place holds the same: it could not be removed.
    QStringList duplicates;
};

// Where the start finishing a migration puts what stayed of its staged original, and how it learns
// what it must leave alone.
struct LeftoverArrival {
    QString staging;
    QString target;
    QUuid operation; // the migration's, which names the siblings it makes (see findOperationSiblings)
    // What the record names of the staged original (see waitingLeftovers): for a record written
    // before the siblings were named for their operation, where its own stand.
    QStringList waiting;
    // Whether the record named them before this start: an earlier one may have begun, whose siblings
    // are looked for through the whole target.
    bool begunBefore = false;
    // A single file's copy is the target itself, which its identity tells: given the path of the
    // newer copy, whole, before the older one moves aside and the newer takes its place (for the
    // record, which then can tell both); may throw to keep the target as it is.
    std::function<void(const QString& arrived)> rootArrival;
    // The entries of the staged original that programs hold now (see platform::entriesInUse), asked
    // right before the first entry is put in place and again right before the staged entries go.
    std::function<QSet<platform::EntryIdentity>()> inUse;
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
// the next one removes the operation's "arriving" siblings (they are never needed: a single file's,
// which is, the caller put in place before) and goes again, and names every older version the
// operation kept, however many. A file a program holds is neither copied nor removed: it stays,
// named. Never throws.
ArrivedLeftovers putLeftoversAtTarget(const LeftoverArrival& arrival);

} // namespace orvalink
