#include "platform/TreeRemoval.h"

#include "platform/EntryLocation.h"
#include "platform/TreeWalker.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace orvalink::platform {

namespace {

// A refusal that comes from the directory holding the entry rather than from the entry itself.
bool directoryRefuses(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

QString parentPathOf(const WalkEntry& entry)
{
    if (entry.depth <= 1)
        return entry.rootPath;
    return entry.rootPath + QLatin1Char('/') + QFile::decodeName(entry.parentRelative.chopped(1));
}

class RemovalVisitor : public TreeVisitor {
public:
    explicit RemovalVisitor(const RemovalRules& rules) : m_rules(rules) {}

    RemovalOutcome outcome;

    bool enterDirectory(const WalkEntry& entry, int fd) override
    {
        if (isForeignRoot(entry)) {
            leftover(entry.path(), EBUSY);
            return false;
        }
        if (!allowed(entry)) {
            keep(entry);
            return false;
        }
        if (m_rules.makeDirectoriesWritable)
            ::fchmod(fd, 0700); // a failure shows up as the entries that stay
        m_frames.push_back(Frame{});
        return true;
    }

    void visitEntry(const WalkEntry& entry) override
    {
        if (isForeignRoot(entry))
            return leftover(entry.path(), EBUSY);
        if (!allowed(entry))
            return keep(entry);
        if (::unlinkat(entry.parentFd, entry.name.constData(), 0) != 0)
            failedToRemove(entry, errno);
    }

    void leaveDirectory(const WalkEntry& entry, int fd) override
    {
        const Frame frame = m_frames.back();
        m_frames.pop_back();
        if (!stillAt(entry, fd))
            return leftover(entry.path(), EBUSY);
        if (::unlinkat(entry.parentFd, entry.name.constData(), AT_REMOVEDIR) == 0)
            return;
        const int error = errno;
        if (frame.keptSomething)
            markParentKept(); // already named through what it still holds
        else if (error == ENOTEMPTY && m_rules.keptIsLeftover)
            appeared(entry); // everything listed in it went: what it holds came meanwhile
        else
            failedToRemove(entry, error);
    }

    void walkFailed(const WalkEntry& entry, int errorNumber) override
    {
        if (errorNumber == ENOENT)
            return; // gone already
        leftover(entry.path(), errorNumber);
    }

private:
    struct Frame {
        bool keptSomething = false;
        bool named = false;
    };

    bool isForeignRoot(const WalkEntry& entry) const
    {
        return entry.depth == 0 && m_rules.root && EntryIdentity::of(entry.info) != *m_rules.root;
    }

    // Whether the name of the directory open at `fd` still leads to it.
    static bool stillAt(const WalkEntry& entry, int fd)
    {
        struct stat named {};
        struct stat opened {};
        return ::fstatat(entry.parentFd, entry.name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
               ::fstat(fd, &opened) == 0 && EntryIdentity::of(named) == EntryIdentity::of(opened);
    }

    bool allowed(const WalkEntry& entry) const
    {
        return (!m_rules.mayRemove || m_rules.mayRemove(entry.info)) &&
               (!m_rules.mayRemoveAt || m_rules.mayRemoveAt(entry.info, entry.relativePath()));
    }

    void keep(const WalkEntry& entry)
    {
        if (m_rules.keptIsLeftover) {
            outcome.keptPaths.append(entry.path());
            leftover(entry.path(), EBUSY);
        } else
            markParentKept();
    }

    // Something was made in the directory after it was listed: it stays, as what the rules keep does.
    void appeared(const WalkEntry& entry)
    {
        outcome.keptPaths.append(entry.path());
        leftover(entry.path(), ENOTEMPTY);
    }

    void failedToRemove(const WalkEntry& entry, int errorNumber)
    {
        if (errorNumber == ENOENT)
            return;
        if (!directoryRefuses(errorNumber) || m_frames.empty())
            return leftover(entry.path(), errorNumber);
        // Every other entry of that directory would fail the same way: name the directory once.
        noteError(errorNumber, entry.path());
        Frame& holder = m_frames.back();
        holder.keptSomething = true;
        if (!holder.named) {
            holder.named = true;
            outcome.leftoverPaths.append(parentPathOf(entry));
        }
    }

    void leftover(const QString& path, int errorNumber)
    {
        noteError(errorNumber, path);
        outcome.leftoverPaths.append(path);
        markParentKept();
    }

    void noteError(int errorNumber, const QString& path)
    {
        if (!outcome.firstError)
            outcome.firstError = PlatformError::fromErrno(errorNumber, path);
    }

    void markParentKept()
    {
        if (!m_frames.empty())
            m_frames.back().keptSomething = true;
    }

    const RemovalRules& m_rules;
    std::vector<Frame> m_frames;
};

} // namespace

RemovalOutcome removeTreeAt(int parentFd, const QByteArray& name, const QString& path,
                            const RemovalRules& rules)
{
    RemovalVisitor visitor(rules);
    walkTree(parentFd, name, path, visitor);
    return std::move(visitor.outcome);
}

void removeTree(const QString& path)
{
    const EntryLocation location = EntryLocation::open(path);
    RemovalOutcome outcome =
        removeTreeAt(location.parent.get(), location.name, location.path, RemovalRules{});
    if (outcome.firstError)
        throw *outcome.firstError;
}

void removeTree(const EntryLocation& location, const EntryIdentity& expected)
{
    RemovalRules rules;
    rules.root = expected;
    RemovalOutcome outcome = removeTreeAt(location.parent.get(), location.name, location.path, rules);
    if (outcome.firstError)
        throw *outcome.firstError;
}

} // namespace orvalink::platform
