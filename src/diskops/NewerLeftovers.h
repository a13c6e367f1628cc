#pragma once

#include "diskops/ReservedPaths.h"

#include <QString>
#include <QStringList>
#include <QUuid>

namespace orvalink {

class FallbackFileOperations;

// What putNewerLeftoversInPlace did.
struct PlacedLeftovers {
    bool placed = false;
    // The "append-preserved" siblings that the versions the newer ones replaced were kept in.
    QStringList olderVersions;
};

// After a migration came home from its target, what a program went on writing at the staging path
// while the staged files were removed is newer than what came home: it takes its place at `source`,
// a folder's entries one by one, and what each replaces is kept aside in an "append-preserved"
// sibling named for the migration `operation` (see makeReservedPath), which a start after a kill finds
// by that name (see findOperationSiblings). On the home's file system, so every step is a rename. On
// a failure every move is put back, the leftovers stay whole at `staging`, and nothing is placed.
// Never throws.
PlacedLeftovers putNewerLeftoversInPlace(const FallbackFileOperations& files, const QString& staging,
                                         const QString& source, const QUuid& operation);

// How many of the entries waitingLeftovers() names at most: a record keeps them.
inline constexpr qsizetype kMaxWaitingLeftovers = 1000;

// The entries of the tree at `staging` that such a merge puts in place, as paths below it: every
// entry but a folder, and each empty folder ("" for `staging` itself when it is no folder or an empty
// one); the first kMaxWaitingLeftovers of them met. A record keeps them before anything is put in
// place, which tells a start that siblings of the operation may stand (see findOperationSiblings),
// and where a record written before those were named for their operation finds its own. Never
// throws: what cannot be read is not named.
QStringList waitingLeftovers(const QString& staging);

// The reserved siblings with `suffix` that stand beside the places below `root` where an entry of
// `waiting` (paths below a staging path, see waitingLeftovers), or a folder above one, is put: the
// versions such entries replaced ("append-preserved"), or copies of them on their way ("arriving").
QStringList reservedBesideLeftovers(const QString& root, const QStringList& waiting, ReservedSuffix suffix);

} // namespace orvalink
