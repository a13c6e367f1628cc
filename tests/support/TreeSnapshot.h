#pragma once

#include <QString>
#include <QStringList>

namespace orvalink::test {

// Describes the tree at `root` one line per entry, sorted by path: kind, mode, owner, modification
// time to the nanosecond, and the content (a hash and size for files, the text for links). Entries
// of a hard-linked group name the first member. Two trees are identical for a move when their
// snapshots are equal. Links are never followed; access times are left out (reading changes them).
QStringList snapshotTree(const QString& root);

// The snapshot without the modification times of directories: what is inside, for trees whose
// items were moved out and back (which touches their directories' times and nothing else).
QStringList snapshotContents(const QString& root);

// Gives every entry below `root`, deepest first and `root` last, its own access and modification
// time with a nanosecond part, so a copy that loses or disturbs a time shows in snapshotTree.
void stampDistinctTimes(const QString& root);

} // namespace orvalink::test
