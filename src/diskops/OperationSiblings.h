#pragma once

#include <QString>
#include <QStringList>
#include <QUuid>

namespace orvalink {

// The reserved siblings an operation made while it put newer versions in place over its data (see
// makeReservedPath with an operation), found by their names alone, so that a start after a kill
// learns of every one of them, however many there are and whatever record names them.
struct OperationSiblings {
    QStringList olderVersions; // "append-preserved": versions the newer ones replaced
    QStringList arriving;      // "arriving": copies on their way to their place
};

// Those of `operation` beside `root` and beside every entry below it, in the order a walk meets
// them. The walk never follows a link, never enters another mounted file system and never looks into
// a sibling it found. What cannot be read is passed over. Never throws.
OperationSiblings findOperationSiblings(const QString& root, const QUuid& operation);

} // namespace orvalink
