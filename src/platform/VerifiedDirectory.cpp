#include "platform/VerifiedDirectory.h"

#include "platform/PlatformError.h"
#include "platform/StandardPath.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

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

} // namespace

VerifiedDirectory VerifiedDirectory::open(const QString& start, const QString& path)
{
    return walk(start, path, true);
}

VerifiedDirectory VerifiedDirectory::openDeepest(const QString& start, const QString& path)
{
    return walk(start, path, false);
}

VerifiedDirectory VerifiedDirectory::walk(const QString& start, const QString& path, bool toTheEnd)
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
        if (!directory.enter(QFile::encodeName(part), toTheEnd))
            break;
    }
    return directory;
}

bool VerifiedDirectory::enter(const QByteArray& name, bool mustExist)
{
    const QString here = path();
    Step step{
        (here == QLatin1String("/") ? QString() : here) + QLatin1Char('/') + QFile::decodeName(name), {}, 0};
    // O_PATH with O_NOFOLLOW would open a link itself; O_DIRECTORY then refuses it as no directory.
    UniqueFd next(::openat(m_fd.get(), name.constData(), O_PATH | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC));
    if (!next.isValid()) {
        int error = errno;
        struct stat info {};
        if ((error == ENOTDIR || error == ELOOP) &&
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
