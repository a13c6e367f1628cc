#pragma once

#include "backend/MigrationSyncRecords.h"

#include <QList>
#include <QString>

namespace orvalink {

class PathMappingService;

// The rows of a cloud snapshot that may enter the local history, and how many were refused.
struct SafeSnapshotRows {
    QList<LinkMapping> mappings;
    QList<MigrationTask> tasks;
    qsizetype droppedCount = 0;
};

// A snapshot is data from the network, and undo and link repair later move whatever paths the
// history names, with administrator rights when needed. A row is kept only when its source and
// target are absolute paths in standard form (a task may have no target), its source passes the
// strict safety rules for `anchorUser`, and neither path lies inside the other; a mapping is held
// besides to the rule of places that undo, repair and the start-up hold every record to: its source
// below the home folder, its target the source's place below a target root on a volume of the
// volumes folder (mappingPlaceProblem). Order is kept.
SafeSnapshotRows safeSnapshotRows(const MigrationSyncSnapshot& snapshot, const PathMappingService& rules,
                                  const QString& anchorUser);

} // namespace orvalink
