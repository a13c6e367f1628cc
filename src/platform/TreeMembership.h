#pragma once

#include "platform/EntryIdentity.h"

#include <QByteArray>
#include <QSet>
#include <vector>

// Whether what something holds lies in a tree: by the path it is reported at where that settles
// it, else by its identity.
namespace orvalink::platform {

// Whether a path, as the kernel reports it (canonical), is `root` itself or, with `subtree`, lies
// below it.
class PathMatcher {
public:
    PathMatcher(QByteArray root, bool subtree);

    bool matches(const QByteArray& path) const
    {
        return path == m_root || (m_subtree && path.startsWith(m_prefix));
    }

    const QByteArray& root() const { return m_root; }
    bool subtree() const { return m_subtree; }

private:
    QByteArray m_root;
    QByteArray m_prefix;
    bool m_subtree;
};

// An entry something holds, and the path it was last reported at: a hint only, as that name may
// have been removed or given to another entry since, or lead to it through another mount.
struct ReportedEntry {
    EntryIdentity identity;
    QByteArray path;
};

// Those of `entries` that are the tree `within` describes, or lie in it. A reported path that
// still leads to its entry settles it where it can: matched, the entry lies there; on the root's
// own mount but outside, it does not when that is its one name (a directory, or a file with a
// single link). The rest are looked for by identity in one walk of the tree, which neither
// follows links nor enters other mounts, so that only entries on the root's file system are looked
// for; none is needed when every entry is settled. The walk stops once all are found. Nothing
// is found when the root cannot be read, and nothing by the walk below a root that is itself a
// mount point, which no walk takes. Never throws.
QSet<EntryIdentity> entriesWithin(const PathMatcher& within, const std::vector<ReportedEntry>& entries);

} // namespace orvalink::platform
