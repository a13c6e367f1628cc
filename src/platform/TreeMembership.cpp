#include "platform/TreeMembership.h"

#include "platform/TreeWalker.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>

namespace orvalink::platform {

namespace {

// What the entry at a path (not followed) tells about where else it might be found.
struct PathLook {
    EntryIdentity identity;
    bool isDirectory;
    bool soleName; // a directory, or a file of one link: this path is its only name in its file system
    std::optional<quint64> mountId;
};

// Asked without syncing, as a network file system that no longer answers must not hold the
// search up: identity, kind, links and mount need no fresh look.
std::optional<PathLook> lookAtPath(const QByteArray& path)
{
    struct statx info {};
    if (::statx(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC,
                STATX_INO | STATX_TYPE | STATX_NLINK | STATX_MNT_ID, &info) != 0 ||
        !(info.stx_mask & STATX_INO) || !(info.stx_mask & STATX_TYPE))
        return std::nullopt;
    const bool isDirectory = S_ISDIR(info.stx_mode);
    const bool oneLink = (info.stx_mask & STATX_NLINK) && info.stx_nlink == 1;
    return PathLook{EntryIdentity::of(info), isDirectory, isDirectory || oneLink,
                    (info.stx_mask & STATX_MNT_ID) ? std::optional<quint64>(info.stx_mnt_id) : std::nullopt};
}

// The entry's path on the root's own mount names the same dentries as the root's does, so a path
// outside the root's is an entry outside the tree, unless the entry has other names as well.
bool settledOutside(const PathLook& named, const PathLook& root)
{
    return named.soleName && named.mountId && root.mountId && *named.mountId == *root.mountId;
}

class IdentitySearch : public TreeVisitor {
public:
    explicit IdentitySearch(QSet<EntryIdentity> sought) : m_sought(std::move(sought)) {}

    bool enterDirectory(const WalkEntry& entry, int) override
    {
        note(entry.info);
        return !m_sought.isEmpty();
    }
    void visitEntry(const WalkEntry& entry) override { note(entry.info); }
    void leaveDirectory(const WalkEntry&, int) override {}
    void walkFailed(const WalkEntry&, int) override {}

    const QSet<EntryIdentity>& found() const { return m_found; }

private:
    void note(const struct stat& info)
    {
        const EntryIdentity identity = EntryIdentity::of(info);
        if (m_sought.remove(identity))
            m_found.insert(identity);
    }

    QSet<EntryIdentity> m_sought;
    QSet<EntryIdentity> m_found;
};

QSet<EntryIdentity> searchTree(const QByteArray& root, QSet<EntryIdentity> sought)
{
    const qsizetype slash = root.lastIndexOf('/');
    if (slash < 0 || slash == root.size() - 1)
        return {}; // "/" itself, which no walk takes
    const UniqueFd parent(
        ::open(slash == 0 ? "/" : root.left(slash).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent.isValid())
        return {};
    IdentitySearch search(std::move(sought));
    try {
        walkTree(parent.get(), root.mid(slash + 1), QString(), search);
    } catch (const std::exception&) {
        // Out of memory at worst: what was found so far stands.
    }
    return search.found();
}

} // namespace

PathMatcher::PathMatcher(QByteArray root, bool subtree)
    : m_root(std::move(root)), m_prefix(m_root == "/" ? m_root : m_root + '/'), m_subtree(subtree)
{}

QSet<EntryIdentity> entriesWithin(const PathMatcher& within, const std::vector<ReportedEntry>& entries)
{
    QSet<EntryIdentity> found;
    if (entries.empty())
        return found;
    const std::optional<PathLook> root = lookAtPath(within.root());
    if (!root)
        return found;
    const bool walkable = within.subtree() && root->isDirectory;
    QSet<EntryIdentity> sought;
    for (const ReportedEntry& entry : entries) {
        if (entry.identity == root->identity) {
            found.insert(entry.identity);
            continue;
        }
        const std::optional<PathLook> named = entry.path.isEmpty() ? std::nullopt : lookAtPath(entry.path);
        if (named && named->identity == entry.identity) {
            if (within.matches(entry.path)) {
                found.insert(entry.identity);
                continue;
            }
            if (settledOutside(*named, *root))
                continue;
        }
        if (walkable && entry.identity.device == root->identity.device)
            sought.insert(entry.identity);
    }
    sought.subtract(found);
    if (!sought.isEmpty())
        found.unite(searchTree(within.root(), std::move(sought)));
    return found;
}

} // namespace orvalink::platform
