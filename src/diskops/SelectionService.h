#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace orvalink {

// Refuses a selection of directories to migrate in which one path is the same as, or lies inside,
// another. Stateless; safe to call from any thread.
class SelectionService {
public:
    // Throws OrvalinkError::parentChildConflict (E006) for the first offending pair in ascending
    // order of the standardized paths, the enclosing path as parent. Two spellings of one path
    // ("/a/b" and "/a/b/") conflict with themselves. Fewer than two paths are always accepted.
    void validateNoParentChildConflict(const QSet<QString>& paths) const;

    // The standardized form of every path, repeats kept.
    static QStringList normalized(const QSet<QString>& paths);
};

} // namespace orvalink
