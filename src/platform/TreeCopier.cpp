#include "platform/TreeCopier.h"

#include "platform/PlatformError.h"
#include "platform/TreeRemoval.h"

#include <QFile>
#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {
Q_LOGGING_CATEGORY(lcTreeCopy, "orvalink.platform.copy")

UniqueFd duplicate(int fd)
{
    return UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
}
} // namespace

TreeCopier::TreeCopier(const EntryLocation& source, const EntryLocation& destination)
    : m_source(source), m_destination(destination), m_asRoot(::geteuid() == 0)
{}

void TreeCopier::copy()
{
    try {
        walkTree(m_source.parent.get(), m_source.name, m_source.path, *this);
        flushDestination();
    } catch (...) {
        m_current.reset();
        m_destinationRoot.reset();
        removeCreated();
        throw;
    }
}

bool TreeCopier::copiedUnchanged(const struct stat& info) const
{
    const auto found = m_copied.constFind(Identity::of(info));
    if (found == m_copied.cend())
        return false;
    if (S_ISDIR(info.st_mode))
        return true;
    return found->size == info.st_size && found->modified.tv_sec == info.st_mtim.tv_sec &&
           found->modified.tv_nsec == info.st_mtim.tv_nsec;
}

bool TreeCopier::enterDirectory(const WalkEntry& entry, int)
{
    const int parent = destinationParent(entry);
    const char* name = destinationName(entry);
    if (::mkdirat(parent, name, 0700) != 0)
        fail(errno, destinationPath(entry));
    noteCreated(entry, AT_REMOVEDIR);
    // Owner-only while it fills, whatever the umask; the real mode comes once its contents are in.
    if (::fchmodat(parent, name, 0700, 0) != 0)
        fail(errno, destinationPath(entry));
    UniqueFd fd(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!fd.isValid() || ::fstat(fd.get(), &info) != 0)
        fail(errno, destinationPath(entry));
    if (!m_created.contains(Identity::of(info)))
        fail(EBUSY, destinationPath(entry)); // replaced between mkdir and open
    m_directories.push_back(Identity::of(info));
    if (entry.depth == 0)
        m_destinationRoot = duplicate(fd.get());
    m_current = std::move(fd);
    remember(entry.info);
    return true;
}

void TreeCopier::leaveDirectory(const WalkEntry& entry, int)
{
    m_directories.pop_back();
    UniqueFd parent;
    if (!m_directories.empty()) {
        // Climb back before the directory gets its own mode, which may forbid the lookup of "..".
        parent = UniqueFd(::openat(m_current.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat info {};
        if (!parent.isValid() || ::fstat(parent.get(), &info) != 0)
            fail(errno, destinationPath(entry));
        if (Identity::of(info) != m_directories.back())
            fail(EBUSY, destinationPath(entry));
    }
    applyMetadata(m_current.get(), entry.info, entry);
    m_current = std::move(parent);
}

void TreeCopier::visitEntry(const WalkEntry& entry)
{
    const bool multiplyLinked = entry.info.st_nlink > 1;
    if (multiplyLinked) {
        const auto first = m_firstLinks.constFind(Identity::of(entry.info));
        if (first != m_firstLinks.cend())
            return linkToFirst(entry, *first);
    }
    struct stat taken = entry.info;
    switch (entry.info.st_mode & S_IFMT) {
    case S_IFREG:
        taken = copyFile(entry);
        break;
    case S_IFLNK:
        copyLink(entry);
        break;
    case S_IFIFO:
        copyFifo(entry);
        break;
    default:
        fail(EOPNOTSUPP, entry.path()); // sockets and devices cannot be carried to another disk
    }
    remember(taken);
    if (multiplyLinked && entry.depth > 0)
        m_firstLinks.insert(Identity::of(entry.info), entry.relativePath());
}

void TreeCopier::walkFailed(const WalkEntry& entry, int errorNumber)
{
    fail(errorNumber, entry.path());
}

struct stat TreeCopier::copyFile(const WalkEntry& entry)
{
    // O_NONBLOCK: should a FIFO have taken the file's place, opening it must not hang.
    UniqueFd in(
        ::openat(entry.parentFd, entry.name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat taken {};
    if (!in.isValid() || ::fstat(in.get(), &taken) != 0)
        fail(errno, entry.path());
    if (!S_ISREG(taken.st_mode) || Identity::of(taken) != Identity::of(entry.info))
        fail(EBUSY, entry.path());
    UniqueFd out(::openat(destinationParent(entry), destinationName(entry),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    struct stat created {};
    if (!out.isValid() || ::fstat(out.get(), &created) != 0)
        fail(errno, destinationPath(entry));
    m_created.insert(Identity::of(created));
    try {
        m_data.copy(in.get(), out.get(), taken.st_size, off_t(taken.st_blocks) * 512);
    } catch (const FileDataCopier::Failure& failure) {
        fail(failure.errorNumber, failure.atDestination ? destinationPath(entry) : entry.path());
    }
    applyMetadata(out.get(), taken, entry);
    if (entry.depth == 0)
        m_destinationRoot = duplicate(out.get());
    if (const int error = out.close(); error != 0)
        fail(error, destinationPath(entry));
    return taken;
}

void TreeCopier::copyLink(const WalkEntry& entry)
{
    QByteArray text;
    for (qsizetype capacity = std::max<qsizetype>(entry.info.st_size, 63) + 1;; capacity *= 2) {
        text.resize(capacity);
        const ssize_t length =
            ::readlinkat(entry.parentFd, entry.name.constData(), text.data(), size_t(capacity));
        if (length < 0)
            fail(errno, entry.path());
        if (length < capacity) {
            text.resize(length);
            break;
        }
    }
    if (::symlinkat(text.constData(), destinationParent(entry), destinationName(entry)) != 0)
        fail(errno, destinationPath(entry));
    noteCreated(entry, 0);
    applyMetadataAt(entry, true);
}

void TreeCopier::copyFifo(const WalkEntry& entry)
{
    if (::mkfifoat(destinationParent(entry), destinationName(entry), 0600) != 0)
        fail(errno, destinationPath(entry));
    noteCreated(entry, 0);
    applyMetadataAt(entry, false);
}

void TreeCopier::linkToFirst(const WalkEntry& entry, const QByteArray& firstRelative)
{
    // The first copy may lie anywhere in the tree: reach its directory from the destination root
    // one step at a time, so neither PATH_MAX nor a link on the way can interfere.
    QList<QByteArray> steps = firstRelative.split('/');
    const QByteArray firstName = steps.takeLast();
    int directory = m_destinationRoot.get();
    UniqueFd step;
    for (const QByteArray& name : steps) {
        UniqueFd next(::openat(directory, name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.isValid())
            fail(errno, m_destination.path + QLatin1Char('/') + QFile::decodeName(firstRelative));
        step = std::move(next);
        directory = step.get();
    }
    if (::linkat(directory, firstName.constData(), m_current.get(), entry.name.constData(), 0) != 0)
        fail(errno, destinationPath(entry));
}

int TreeCopier::destinationParent(const WalkEntry& entry) const
{
    return entry.depth == 0 ? m_destination.parent.get() : m_current.get();
}

const char* TreeCopier::destinationName(const WalkEntry& entry) const
{
    return entry.depth == 0 ? m_destination.name.constData() : entry.name.constData();
}

QString TreeCopier::destinationPath(const WalkEntry& entry) const
{
    if (entry.depth == 0)
        return m_destination.path;
    return m_destination.path + QLatin1Char('/') + QFile::decodeName(entry.relativePath());
}

void TreeCopier::noteCreated(const WalkEntry& entry, int removeFlags)
{
    struct stat info {};
    if (::fstatat(destinationParent(entry), destinationName(entry), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = errno;
        ::unlinkat(destinationParent(entry), destinationName(entry), removeFlags);
        fail(error, destinationPath(entry));
    }
    m_created.insert(Identity::of(info));
}

void TreeCopier::applyMetadata(int fd, const struct stat& info, const WalkEntry& entry) const
{
    // Owner first: chown clears set-user-ID and set-group-ID bits that chmod then sets again.
    if (m_asRoot && ::fchown(fd, info.st_uid, info.st_gid) != 0)
        fail(errno, destinationPath(entry));
    if (::fchmod(fd, info.st_mode & 07777) != 0)
        fail(errno, destinationPath(entry));
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (::futimens(fd, times) != 0)
        fail(errno, destinationPath(entry));
}

void TreeCopier::applyMetadataAt(const WalkEntry& entry, bool isLink) const
{
    const int parent = destinationParent(entry);
    const char* name = destinationName(entry);
    if (m_asRoot && ::fchownat(parent, name, entry.info.st_uid, entry.info.st_gid, AT_SYMLINK_NOFOLLOW) != 0)
        fail(errno, destinationPath(entry));
    // A link has no mode of its own. For a FIFO the name was made by this copy a moment ago; without
    // /proc, fchmodat cannot refuse to follow a link, so it is asked to follow.
    if (!isLink && ::fchmodat(parent, name, entry.info.st_mode & 07777, 0) != 0)
        fail(errno, destinationPath(entry));
    const struct timespec times[2] = {entry.info.st_atim, entry.info.st_mtim};
    if (::utimensat(parent, name, times, AT_SYMLINK_NOFOLLOW) != 0)
        fail(errno, destinationPath(entry));
}

void TreeCopier::remember(const struct stat& info)
{
    m_copied.insert(Identity::of(info), Fingerprint{info.st_size, info.st_mtim});
}

void TreeCopier::flushDestination()
{
    if (!m_destinationRoot.isValid()) // a single link or FIFO: its directory is on the same disk
        m_destinationRoot =
            UniqueFd(::openat(m_destination.parent.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_destinationRoot.isValid()) {
        ::sync();
        return;
    }
    if (::syncfs(m_destinationRoot.get()) != 0)
        fail(errno, m_destination.path);
}

void TreeCopier::removeCreated()
{
    if (m_created.isEmpty())
        return; // not even the destination itself: whatever stands there is someone else's
    RemovalRules rules;
    rules.mayRemove = [this](const struct stat& info) {
        return m_created.contains(Identity::of(info));
    };
    rules.keptIsLeftover = false;
    rules.makeDirectoriesWritable = true;
    const RemovalOutcome outcome =
        removeTreeAt(m_destination.parent.get(), m_destination.name, m_destination.path, rules);
    if (outcome.firstError)
        qCWarning(lcTreeCopy) << "partial copy not fully removed:" << outcome.leftoverPaths
                              << outcome.firstError->message();
}

void TreeCopier::fail(int errorNumber, const QString& path) const
{
    throw PlatformError::fromErrno(errorNumber, path);
}

} // namespace orvalink::platform
