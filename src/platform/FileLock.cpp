#include "platform/FileLock.h"

#include "platform/FileIO.h"
#include "platform/PlatformError.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

UniqueFd openLockFile(const QString& path)
{
    // Read-only is enough for flock, and spares a device or a FIFO any write-side effect.
    struct stat info {};
    UniqueFd fd = openRegularFile(path, info, O_CREAT, 0600);
    if (info.st_uid != ::geteuid())
        throw UnsuitableFileError(EPERM, QStringLiteral("the file of another user: ") + path);
    return fd;
}

} // namespace

UniqueFd lockFile(const QString& path, bool wait)
{
    const QByteArray native = QFile::encodeName(path);
    for (;;) {
        UniqueFd fd = openLockFile(path);
        if (::flock(fd.get(), LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
            if (errno == EWOULDBLOCK)
                return {};
            if (errno == EINTR)
                continue;
            throw PlatformError::fromErrno(errno, path);
        }
        struct stat locked {};
        struct stat named {};
        if (::fstat(fd.get(), &locked) != 0)
            throw PlatformError::fromErrno(errno, path);
        if (::lstat(native.constData(), &named) == 0 && named.st_dev == locked.st_dev &&
            named.st_ino == locked.st_ino)
            return fd;
    }
}

} // namespace orvalink::platform
