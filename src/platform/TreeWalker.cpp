#include "platform/TreeWalker.h"

#include "platform/UniqueFd.h"

#include <QFile>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <vector>

namespace orvalink::platform {

QString WalkEntry::path() const
{
    if (depth == 0)
        return rootPath;
    return rootPath + QLatin1Char('/') + QFile::decodeName(parentRelative + name);
}

namespace {

// Which mount a descriptor lies on. A bind mount of the same file system has the same st_dev, so
// the mount id is compared as well where the kernel gives it.
struct MountIdentity {
    dev_t device = 0;
    quint64 mountId = 0;
    bool hasMountId = false;

    bool sameMountAs(const MountIdentity& other) const
    {
        if (device != other.device)
            return false;
        return !hasMountId || !other.hasMountId || mountId == other.mountId;
    }
};

bool readIdentity(int fd, MountIdentity& identity, struct stat& info)
{
    // One call for both: the device numbers come with every statx answer.
    struct statx extended {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_MNT_ID, &extended) != 0)
        return false;
    if (!(extended.stx_mask & STATX_INO)) {
        if (::fstat(fd, &info) != 0)
            return false;
    } else {
        info.st_dev = makedev(extended.stx_dev_major, extended.stx_dev_minor);
        info.st_ino = extended.stx_ino;
    }
    identity.device = info.st_dev;
    identity.hasMountId = (extended.stx_mask & STATX_MNT_ID) != 0;
    identity.mountId = extended.stx_mnt_id;
    return true;
}

// Reads the names in the directory `fd` (without "." and ".."); answers 0 or the errno. Reads
// through `fd` itself, which is fresh, rather than a stream on a copy of it: every directory of
// every walk is listed, so the calls saved add up.
int listDirectory(int fd, std::vector<QByteArray>& names)
{
    alignas(dirent64) char buffer[16384];
    for (;;) {
        const ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        for (ssize_t offset = 0; offset < got;) {
            const auto* item = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += item->d_reclen;
            const char* name = item->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            names.emplace_back(name);
        }
    }
}

struct Frame {
    QByteArray name;
    struct stat info;
    std::vector<QByteArray> names;
    size_t next;
    qsizetype relativeLength; // length of the relative prefix before this directory's name
};

class Walk {
public:
    Walk(int parentFd, const QByteArray& name, const QString& rootPath, TreeVisitor& visitor)
        : m_rootParent(parentFd), m_rootName(name), m_rootPath(rootPath), m_visitor(visitor)
    {}

    void run()
    {
        struct stat info {};
        if (::fstatat(m_rootParent, m_rootName.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            return fail(m_rootParent, m_rootName, errno);
        if (!S_ISDIR(info.st_mode))
            return m_visitor.visitEntry(entry(m_rootParent, m_rootName, info));
        if (!descend(m_rootParent, m_rootName, info))
            return;
        while (!m_stack.empty()) {
            Frame& top = m_stack.back();
            if (top.next < top.names.size()) {
                const QByteArray child = top.names[top.next++];
                visitChild(child);
            } else if (!ascend()) {
                return;
            }
        }
    }

private:
    WalkEntry entry(int parentFd, const QByteArray& name, const struct stat& info) const
    {
        return WalkEntry{parentFd, name, info, static_cast<int>(m_stack.size()), m_rootPath, m_relative};
    }

    void fail(int parentFd, const QByteArray& name, int error)
    {
        const struct stat none {};
        m_visitor.walkFailed(entry(parentFd, name, none), error);
    }

    void visitChild(const QByteArray& name)
    {
        const int parentFd = m_current.get();
        struct stat info {};
        if (::fstatat(parentFd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            return fail(parentFd, name, errno);
        if (!S_ISDIR(info.st_mode))
            return m_visitor.visitEntry(entry(parentFd, name, info));
        if (info.st_dev != m_rootMount.device)
            return m_visitor.walkFailed(entry(parentFd, name, info), EXDEV);
        descend(parentFd, name, info);
    }

    // Opens and lists a directory, tells the visitor, and makes it the current one.
    bool descend(int parentFd, const QByteArray& name, const struct stat& info)
    {
        const WalkEntry here = entry(parentFd, name, info);
        UniqueFd fd(::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd.isValid()) {
            m_visitor.walkFailed(here, errno);
            return false;
        }
        MountIdentity mount;
        struct stat opened {};
        if (!readIdentity(fd.get(), mount, opened)) {
            m_visitor.walkFailed(here, errno);
            return false;
        }
        if (opened.st_dev != info.st_dev || opened.st_ino != info.st_ino) {
            m_visitor.walkFailed(here, EBUSY);
            return false;
        }
        if (m_stack.empty()) {
            // A root that is itself a mount point would take a whole file system with it.
            MountIdentity parentMount;
            struct stat parentInfo {};
            if (!readIdentity(parentFd, parentMount, parentInfo)) {
                m_visitor.walkFailed(here, errno);
                return false;
            }
            if (!mount.sameMountAs(parentMount)) {
                m_visitor.walkFailed(here, EBUSY);
                return false;
            }
            m_rootMount = mount;
        } else if (!mount.sameMountAs(m_rootMount)) {
            m_visitor.walkFailed(here, EXDEV);
            return false;
        }
        std::vector<QByteArray> names;
        if (const int error = listDirectory(fd.get(), names); error != 0) {
            m_visitor.walkFailed(here, error);
            return false;
        }
        if (!m_visitor.enterDirectory(here, fd.get()))
            return false;
        m_stack.push_back(Frame{name, info, std::move(names), 0, m_relative.size()});
        if (m_stack.size() > 1)
            m_relative += name + '/';
        m_current = std::move(fd);
        return true;
    }

    // Leaves the current directory for its parent. False when the parent cannot be reached.
    bool ascend()
    {
        const Frame done = std::move(m_stack.back());
        m_stack.pop_back();
        m_relative.truncate(done.relativeLength);
        if (m_stack.empty()) {
            m_visitor.leaveDirectory(entry(m_rootParent, done.name, done.info), m_current.get());
            m_current.reset();
            return true;
        }
        UniqueFd parent(::openat(m_current.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat parentInfo {};
        int error = 0;
        if (!parent.isValid() || ::fstat(parent.get(), &parentInfo) != 0)
            error = errno;
        else if (parentInfo.st_dev != m_stack.back().info.st_dev ||
                 parentInfo.st_ino != m_stack.back().info.st_ino)
            error = EBUSY; // the directory was moved elsewhere while we were inside it
        if (error != 0) {
            m_visitor.walkFailed(entry(-1, done.name, done.info), error);
            return false;
        }
        m_visitor.leaveDirectory(entry(parent.get(), done.name, done.info), m_current.get());
        m_current = std::move(parent);
        return true;
    }

    const int m_rootParent;
    const QByteArray& m_rootName;
    const QString& m_rootPath;
    TreeVisitor& m_visitor;
    std::vector<Frame> m_stack;
    UniqueFd m_current;
    QByteArray m_relative;
    MountIdentity m_rootMount;
};

} // namespace

void walkTree(int parentFd, const QByteArray& name, const QString& rootPath, TreeVisitor& visitor)
{
    Walk(parentFd, name, rootPath, visitor).run();
}

std::vector<QByteArray> folderNames(int folder)
{
    std::vector<QByteArray> names;
    const UniqueFd own(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!own.isValid() || listDirectory(own.get(), names) != 0)
        return {};
    return names;
}

} // namespace orvalink::platform
