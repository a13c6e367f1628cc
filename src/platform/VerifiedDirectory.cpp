#include "platform/VerifiedDirectory.h"

#include "platform/PlatformError.h"
#include "platform/StandardPath.h"

#include <QFile>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

// The identity and mount of `name` in `fd` (statx `flags`), or of `fd` itself for "" with
// AT_EMPTY_PATH. False with errno set when it cannot be read.
bool readStep(int fd, const char* name, int flags, VerifiedDirectory::Step& step)
{
    struct statx info {};
    if (::statx(fd, name, flags, STATX_INO | STATX_MNT_ID, &info) != 0)
        return false;
    step.identity = EntryIdentity{makedev(info.stx_dev_major, info.stx_dev_minor), ino_t(info.stx_ino)};
    step.mountId = (info.stx_mask & STATX_MNT_ID) ? info.stx_mnt_id : 0;
    return true;
}

// Far more than any real tree is deep: a guard against a loop of mounts, not a limit.
constexpr int lineageLimit = 4096;
// As many links as the kernel follows in one lookup.
constexpr int linkLimit = 40;

constexpr int directoryFlags = O_PATH | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC;

bool mayFollow(const struct stat& link)
{
    return link.st_uid == ::geteuid() || link.st_uid == 0;
}

// Opens the directory `name` of `fd`, following links `mayFollow` accepts, each resolved one
// component at a time under the same rule. Invalid with errno set when it cannot be opened (ELOOP
// for a link that may not be passed).
UniqueFd openFollowingOwnLinks(int fd, const QByteArray& name, int& linksLeft)
{
    if (name == "..")
        return UniqueFd(::openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    UniqueFd next(::openat(fd, name.constData(), directoryFlags));
    struct stat info {};
    if (next.isValid() || (errno != ENOTDIR && errno != ELOOP) ||
        ::fstatat(fd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(info.st_mode))
        return next;
    if (!mayFollow(info) || --linksLeft < 0) {
        errno = ELOOP;
        return UniqueFd();
    }
    QByteArray text(info.st_size > 0 ? info.st_size + 1 : PATH_MAX, '\0');
    const ssize_t length = ::readlinkat(fd, name.constData(), text.data(), text.size());
    if (length < 0)
        return UniqueFd();
    text.truncate(length);
    UniqueFd current(text.startsWith('/') ? ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)
                                          : ::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    for (const QByteArray& part : text.split('/')) {
        if (!current.isValid())
            break;
        if (!part.isEmpty() && part != ".")
            current = openFollowingOwnLinks(current.get(), part, linksLeft);
    }
    return current;
}

} // namespace

VerifiedDirectory VerifiedDirectory::open(const QString& start, const QString& path, Links links)
{
    return walk(start, path, true, links);
}

VerifiedDirectory VerifiedDirectory::openDeepest(const QString& start, const QString& path, Links links)
{
    return walk(start, path, false, links);
}

VerifiedDirectory VerifiedDirectory::walk(const QString& start, const QString& path, bool toTheEnd,
                                          Links links)
{
    const QString from = standardizedPath(start);
    if (path.contains(QChar(0)) || start.contains(QChar(0)) || !path.startsWith(QLatin1Char('/')) ||
        !isSameOrDescendant(path, from))
        throw PlatformError::fromErrno(EINVAL, path);
    VerifiedDirectory directory;
    directory.m_fd = openDirectoryPath(QFile::encodeName(from), O_PATH);
    Step first{from, {}, 0};
    if (!directory.m_fd.isValid() || !readStep(directory.m_fd.get(), "", AT_EMPTY_PATH, first))
        throw PlatformError::fromErrno(errno, from);
    directory.m_steps.append(first);
    const QString below = standardizedPath(path).mid(from == QLatin1String("/") ? 1 : from.size() + 1);
    for (const QString& part : below.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (!directory.enter(QFile::encodeName(part), toTheEnd, links))
            break;
    }
    return directory;
}

bool VerifiedDirectory::enter(const QByteArray& name, bool mustExist, Links links)
{
    const QString here = path();
    Step step{
        (here == QLatin1String("/") ? QString() : here) + QLatin1Char('/') + QFile::decodeName(name), {}, 0};
    // O_PATH with O_NOFOLLOW would open a link itself; O_DIRECTORY then refuses it as no directory.
    int linksLeft = linkLimit;
    UniqueFd next = links == Links::ownFollowed
                        ? openFollowingOwnLinks(m_fd.get(), name, linksLeft)
                        : UniqueFd(::openat(m_fd.get(), name.constData(), directoryFlags));
    if (!next.isValid()) {
        int error = errno;
        struct stat info {};
        if (links == Links::refused && (error == ENOTDIR || error == ELOOP) &&
            ::fstatat(m_fd.get(), name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode))
            error = ELOOP;
        if (!mustExist && (error == ENOENT || error == ENOTDIR))
            return false;
        throw PlatformError::fromErrno(error, step.path);
    }
    if (!readStep(next.get(), "", AT_EMPTY_PATH, step))
        throw PlatformError::fromErrno(errno, step.path);
    m_fd = std::move(next);
    m_steps.append(step);
    return true;
}

QList<EntryIdentity> VerifiedDirectory::lineage() const
{
    QList<EntryIdentity> found{identity()};
    UniqueFd current(::openat(m_fd.get(), ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (int depth = 0; current.isValid() && depth < lineageLimit; ++depth) {
        UniqueFd parent(::openat(current.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        Step step;
        if (!parent.isValid() || !readStep(parent.get(), "", AT_EMPTY_PATH, step))
            throw PlatformError::fromErrno(errno, path());
        if (step.identity == found.constLast())
            return found; // ".." of "/" is "/" itself
        found.append(step.identity);
        current = std::move(parent);
    }
    throw PlatformError::fromErrno(current.isValid() ? ELOOP : errno, path());
}

std::optional<VerifiedDirectory::Step> VerifiedDirectory::entry(const QString& name) const
{
    const EntryLocation location = locate(name);
    Step step{location.path, {}, 0};
    if (readStep(m_fd.get(), location.name.constData(), AT_SYMLINK_NOFOLLOW, step))
        return step;
    if (errno == ENOENT)
        return std::nullopt;
    throw PlatformError::fromErrno(errno, location.path);
}

EntryLocation VerifiedDirectory::locate(const QString& name) const
{
    const QByteArray encoded = QFile::encodeName(name);
    if (encoded.isEmpty() || encoded.contains('/') || encoded.contains('\0') || encoded == "." ||
        encoded == "..")
        throw PlatformError::fromErrno(EINVAL, path() + QLatin1Char('/') + name);
    EntryLocation location;
    location.path = (path() == QLatin1String("/") ? QString() : path()) + QLatin1Char('/') + name;
    location.parent = UniqueFd(::fcntl(m_fd.get(), F_DUPFD_CLOEXEC, 0));
    if (!location.parent.isValid())
        throw PlatformError::fromErrno(errno, path());
    location.name = encoded;
    return location;
}

} // namespace orvalink::platform
