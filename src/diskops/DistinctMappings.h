#pragma once

#include "model/ContentDigest.h"
#include "model/LinkMapping.h"

#include <QHash>
#include <QList>

namespace orvalink {

// One mapping per source path (standardized: "." and ".." resolved, no trailing "/", links not
// followed), chosen from a stream of mappings without holding them: for each distinct path it
// keeps a digest of the path (ContentDigest), the recency of the mapping chosen so far and where that
// mapping can be found again (a line's offset in the history file, an index in a list). Memory
// grows with the number of distinct paths, not with the number of mappings.
//
// The first mapping of a path is kept; a later one replaces it only when it is strictly more
// recent. The kept mappings go most recent first; of equal recency, the path seen first comes
// first.
class DistinctMappings {
public:
    void add(const LinkMapping& mapping, qint64 position);

    // The number of distinct paths.
    qsizetype size() const { return m_kept.size(); }

    // The positions of the kept mappings in their order, from the `start`-th on, at most `count`.
    QList<qint64> positions(qsizetype start, qsizetype count) const;

private:
    struct Kept {
        qint64 recency = 0;   // milliseconds since the epoch
        qint64 firstSeen = 0; // when the path first came
        qint64 position = 0;
    };

    QHash<ContentDigest, Kept> m_kept;
};

} // namespace orvalink
