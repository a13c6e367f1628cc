#include "platform/FileIO.h"

#include "platform/EntryLocation.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "platform/UniqueFd.h"

#include <QSaveFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

QByteArray encoded(const QString& path)
{
    return path.toLocal8Bit();
}

int lastErrnoOr(int fallback)
{
    return errno != 0 ? errno : fallback;
}

} // namespace

int writeAll(int fd, const QByteArray& data)
{
    const char* next = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        next += written;
        left -= written;
    }
    return 0;
}

void createDirectories(const QString& path, mode_t mode)
{
    const QString standard = standardizedPath(path);
    const auto parts = QStringView(standard).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString prefix;
    for (QStringView part : parts) {
        prefix += QLatin1Char('/') + part.toString();
        const QByteArray native = encoded(prefix);
        if (::mkdir(native.constData(), mode) == 0) {
            // mkdir honours the umask; the mode we promise must not depend on it.
            if (::chmod(native.constData(), mode) != 0)
                throw PlatformError::fromErrno(errno, prefix);
            continue;
        }
        const int error = errno;
        struct stat info {};
        if (error == EEXIST && ::stat(native.constData(), &info) == 0) {
            if (S_ISDIR(info.st_mode))
                continue;
            throw PlatformError::fromErrno(ENOTDIR, prefix);
        }
        throw PlatformError::fromErrno(error, prefix);
    }
}

void writeFileAtomically(const QString& path, const QByteArray& data, std::optional<mode_t> mode)
{
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        throw PlatformError(lastErrnoOr(EIO), file.errorString() + QStringLiteral(": ") + path);
    if (mode && ::fchmod(file.handle(), *mode) != 0) {
        const int error = errno;
        file.cancelWriting();
        throw PlatformError::fromErrno(error, path);
    }
    errno = 0;
    if (file.write(data) != data.size()) {
        const int error = lastErrnoOr(EIO);
        file.cancelWriting();
        throw PlatformError(error, file.errorString() + QStringLiteral(": ") + path);
    }
    errno = 0;
    if (!file.commit())
        throw PlatformError(lastErrnoOr(EIO), file.errorString() + QStringLiteral(": ") + path);
    syncDirectory(parentPath(standardizedPath(path)));
}

void appendLine(const QString& path, const QByteArray& line)
{
    const QByteArray native = encoded(path);
    // Read-write so the last byte can be inspected; O_APPEND still puts every write at the end.
    UniqueFd fd(::open(native.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        throw PlatformError::fromErrno(errno, path);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throw PlatformError::fromErrno(errno, path);
    QByteArray payload = line;
    if (info.st_size > 0) {
        char last = '\n';
        if (::pread(fd.get(), &last, 1, info.st_size - 1) != 1)
            throw PlatformError::fromErrno(errno, path);
        if (last != '\n')
            payload.prepend('\n');
    }
    if (const int error = writeAll(fd.get(), payload); error != 0)
        throw PlatformError::fromErrno(error, path);
}

QByteArray readWholeFile(const QString& path)
{
    const QByteArray native = encoded(path);
    UniqueFd fd(::open(native.constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw PlatformError::fromErrno(errno, path);
    QByteArray result;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throw PlatformError::fromErrno(errno, path);
        }
        if (count == 0)
            break;
        result.append(buffer, count);
    }
    return result;
}

bool entryExists(const QString& path)
{
    struct stat info {};
    return ::lstat(encoded(path).constData(), &info) == 0;
}

bool fileExists(const QString& path)
{
    struct stat info {};
    return ::stat(encoded(path).constData(), &info) == 0;
}

void syncDirectory(const QString& directory)
{
    UniqueFd fd(::open(encoded(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0)
        throw PlatformError::fromErrno(errno, directory);
    if (::fsync(fd.get()) != 0 && errno != EINVAL)
        throw PlatformError::fromErrno(errno, directory);
}

} // namespace orvalink::platform

namespace orvalink::platform {

namespace {

void renameAt(int fromFd, const QByteArray& fromName, int toFd, const QByteArray& toName, unsigned int flags,
              const QString& from, const QString& to)
{
    if (::renameat2(fromFd, fromName.constData(), toFd, toName.constData(), flags) != 0) {
        const int error = errno;
        throw PlatformError(error,
                            errnoText(error) + QStringLiteral(": ") + from + QStringLiteral(" -> ") + to);
    }
}

void renameWithFlags(const QString& from, const QString& to, unsigned int flags)
{
    renameAt(AT_FDCWD, encoded(from), AT_FDCWD, encoded(to), flags, from, to);
}

void renameWithFlags(const EntryLocation& from, const EntryLocation& to, unsigned int flags)
{
    renameAt(from.parent.get(), from.name, to.parent.get(), to.name, flags, from.path, to.path);
}

} // namespace

void renameNoReplace(const QString& from, const QString& to)
{
    renameWithFlags(from, to, RENAME_NOREPLACE);
}

void exchangePaths(const QString& first, const QString& second)
{
    renameWithFlags(first, second, RENAME_EXCHANGE);
}

void renameNoReplace(const EntryLocation& from, const EntryLocation& to)
{
    renameWithFlags(from, to, RENAME_NOREPLACE);
}

void exchangePaths(const EntryLocation& first, const EntryLocation& second)
{
    renameWithFlags(first, second, RENAME_EXCHANGE);
}

} // namespace orvalink::platform
