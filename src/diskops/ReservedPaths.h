#pragma once

#include <QString>
#include <QStringList>
#include <QUuid>

namespace orvalink {

// Why an item is kept in a reserved path; each reason has its own name part.
enum class ReservedSuffix {
    staging,            // the source between leaving its place and reaching the target
    targetPreserved,    // the occupant of a target that a forced migration needs
    sourcePreserved,    // an item that reoccupied the source before a forced link
    appendPreserved,    // an item that lost a clash inside a merge
    rollbackConflict,   // an item found in the way of a rollback
    overwritePreserved, // the occupant of the source at a forced restore
    repairedLink,       // a new link, just before it replaces a broken one in one step
    arriving,           // a newer entry on its way to the target after a kill, until it takes its place
    restoring,          // data on its way back from the target, until it takes the source's place
    // (keep `restoring` last, or move the list of all suffixes in ReservedPaths.cpp along)
};

// "staging", "target-preserved", ...
QString toText(ReservedSuffix suffix);

// A hidden sibling of `path` that does not exist when it is returned: the parent directory of the
// standardized path + "/." + the last component + ".orvalink-" + the suffix + "-" + a new random
// upper-case UUID, redrawn while anything (a dangling link included) stands there. When the name
// would exceed what the file system accepts, the copied last component is shortened at a UTF-8
// character boundary, so long names can still be moved aside. Reserving is a test followed by use;
// the UUID keeps collisions away, and every move into the path refuses to replace anything.
QString makeReservedPath(const QString& path, ReservedSuffix suffix);

// The same, for a sibling that the operation `operation` makes and that a start after a kill must
// find again by its name alone (see isOperationReservedName): the UUID part is the operation's
// own, but for its last twelve digits, which count up from 0 to the first name where nothing stands.
QString makeReservedPath(const QString& path, ReservedSuffix suffix, const QUuid& operation);

// Whether `name`, the last component of a path, is one that makeReservedPath(..., suffix, operation)
// gives, for whatever path.
bool isOperationReservedName(const QString& name, ReservedSuffix suffix, const QUuid& operation);

// Whether `candidate` is exactly a path that makeReservedPath(path, suffix) can give, whatever UUID it
// drew (same parent, same shortening of long names).
bool isReservedPathOf(const QString& path, const QString& candidate, ReservedSuffix suffix);

// The reserved paths of `path`, of every suffix, that stand in its parent now, sorted by name.
QStringList existingReservedPaths(const QString& path);

// The reserved paths with `suffix` of each of `places` that stand now, place by place in the order
// given: each folder is listed once, however many of the places it holds.
QStringList existingReservedPaths(const QStringList& places, ReservedSuffix suffix);

} // namespace orvalink
