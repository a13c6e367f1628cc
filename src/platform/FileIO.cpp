#include "platform/FileIO.h"

#include "platform/AtomicFileWriter.h"
#include "platform/EntryLocation.h"
#include "platform/PlatformError.h"
#include "platform/RegularFileCopy.h"
#include "platform/StandardPath.h"
#include "platform/UniqueFd.h"

#include <QList>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

constexpr qsizetype kUniqueSuffixLength = 13; // digits of a 64-bit number in base 36

QByteArray encoded(const QString& path)
{
    return path.toLocal8Bit();
}

} // namespace

int writeAll(int fd, QByteArrayView data)
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

UniqueFd createUniqueFile(int folder, const QByteArray& prefix, QByteArray& created)
{
    constexpr int kNameAttempts = 64;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        created = prefix + QByteArray::number(QRandomGenerator::system()->generate64(), 36)
                               .rightJustified(kUniqueSuffixLength, '0');
        UniqueFd fd(::openat(folder, created.constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (fd.isValid() || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return UniqueFd();
}

bool isUniqueFileSuffix(QStringView text)
{
    return text.size() == kUniqueSuffixLength && std::all_of(text.begin(), text.end(), [](QChar c) {
               return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                      (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
           });
}

namespace {

// Opens the folder `name` that already stands in `parent` for walking further down. A symbolic link
// there is followed only when this user or root made it (a link in a home or system path); one
// that somebody else planted in a folder they may write to is refused.
UniqueFd openExistingFolder(int parent, const QByteArray& name, const QString& path)
{
    struct stat entry {};
    if (::fstatat(parent, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
        throw PlatformError::fromErrno(errno, path);
    const bool link = S_ISLNK(entry.st_mode);
    if (link && entry.st_uid != ::geteuid() && entry.st_uid != 0)
        throw PlatformError(ELOOP, QStringLiteral("a symbolic link of another user: ") + path);
    UniqueFd folder(
        ::openat(parent, name.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC | (link ? 0 : O_NOFOLLOW)));
    if (!folder.isValid())
        throw PlatformError::fromErrno(errno == ELOOP ? ENOTDIR : errno, path);
    return folder;
}

} // namespace

void createDirectories(const QString& path, mode_t mode)
{
    const QString standard = standardizedPath(path);
    const auto parts = QStringView(standard).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    UniqueFd parent(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!parent.isValid())
        throw PlatformError::fromErrno(errno, QStringLiteral("/"));
    QString prefix;
    for (QStringView part : parts) {
        prefix += QLatin1Char('/') + part.toString();
        const QByteArray name = encoded(part.toString());
        if (::mkdirat(parent.get(), name.constData(), mode) != 0) {
            if (errno != EEXIST)
                throw PlatformError::fromErrno(errno, prefix);
            parent = openExistingFolder(parent.get(), name, prefix);
            continue;
        }
        // The new folder is opened without following a link and given its mode through that
        // descriptor: whatever is swapped in at its name meanwhile is refused, never changed.
        UniqueFd created(
            ::openat(parent.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!created.isValid())
            throw PlatformError::fromErrno(errno, prefix);
        // mkdir honours the umask; the mode we promise must not depend on it. A volume without modes
        // (FAT, exFAT) refuses any: the folder keeps the one it gives every folder.
        if (::fchmod(created.get(), mode) != 0 && !isModeRefusal(errno))
            throw PlatformError::fromErrno(errno, prefix);
        parent = std::move(created);
    }
}

void writeFileAtomically(const QString& path, const QByteArray& data, std::optional<mode_t> mode)
{
    AtomicFileWriter file(path, mode);
    file.write(data);
    file.commit();
}

namespace {

UnsuitableFileError unsuitable(int errorNumber, const QString& path, const QString& what)
{
    return UnsuitableFileError(errorNumber, what + QStringLiteral(": ") + path);
}

// Opens what stands at `path` without waiting on it (O_NONBLOCK) and checks that it is a regular
// file. `flags` adds to read-only access (O_RDWR, O_CREAT, O_NOFOLLOW); with O_NOFOLLOW, ELOOP
// means a symbolic link stands there.
UniqueFd openChecked(const QString& path, struct stat& info, int flags, mode_t mode)
{
    UniqueFd fd(::open(encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | flags, mode));
    if (fd.get() < 0) {
        const int error = errno;
        if (error == ELOOP && (flags & O_NOFOLLOW))
            throw unsuitable(error, path, QStringLiteral("a symbolic link, not a regular file"));
        if (error == EISDIR)
            throw unsuitable(error, path, QStringLiteral("a folder, not a regular file"));
        if (error == ENXIO)
            throw unsuitable(error, path, QStringLiteral("not a regular file"));
        throw PlatformError::fromErrno(error, path);
    }
    if (::fstat(fd.get(), &info) != 0)
        throw PlatformError::fromErrno(errno, path);
    requireRegularFile(info, path);
    return fd;
}

} // namespace

void requireRegularFile(const struct stat& info, const QString& path)
{
    if (S_ISREG(info.st_mode))
        return;
    if (S_ISDIR(info.st_mode))
        throw unsuitable(EISDIR, path, QStringLiteral("a folder, not a regular file"));
    if (S_ISLNK(info.st_mode))
        throw unsuitable(ELOOP, path, QStringLiteral("a symbolic link, not a regular file"));
    throw unsuitable(S_ISSOCK(info.st_mode) ? ENXIO : EINVAL, path, QStringLiteral("not a regular file"));
}

void appendLine(const QString& path, const QByteArray& line)
{
    // Read-write so the last byte can be inspected; O_APPEND still puts every write at the end. Only
    // a regular file is written: a line sent into a FIFO or a device would be lost as if stored.
    struct stat info {};
    const UniqueFd fd = openChecked(path, info, O_RDWR | O_APPEND | O_CREAT, 0600);
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

namespace {

// Reads what the descriptor has left; with `limit`, reading stops one byte past it so the caller can
// tell an oversized file. `expected` sizes the buffer once.
QByteArray readFromDescriptor(int fd, const QString& path, qint64 expected, std::optional<qint64> limit)
{
    QByteArray result;
    if (expected > 0)
        result.reserve(qsizetype(limit ? std::min(expected, *limit) + 1 : expected));
    char buffer[65536];
    for (;;) {
        qint64 wanted = qint64(sizeof buffer);
        if (limit)
            wanted = std::min(wanted, *limit + 1 - qint64(result.size()));
        if (wanted <= 0)
            break;
        const ssize_t count = ::read(fd, buffer, size_t(wanted));
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

} // namespace

QByteArray readWholeFile(const QString& path)
{
    struct stat info {};
    const UniqueFd fd = openReadableFile(path, info);
    return readFromDescriptor(fd.get(), path, info.st_size, std::nullopt);
}

UniqueFd openReadableFile(const QString& path, struct stat& info)
{
    return openChecked(path, info, 0, 0);
}

UniqueFd openRegularFile(const QString& path, struct stat& info, int extraFlags, mode_t mode)
{
    return openChecked(path, info, O_NOFOLLOW | extraFlags, mode);
}

QByteArray readRegularFile(const QString& path, qint64 maxBytes)
{
    struct stat info {};
    UniqueFd fd = openRegularFile(path, info);
    const auto tooLarge = [&] {
        return unsuitable(EFBIG, path, QStringLiteral("larger than %1 bytes").arg(maxBytes));
    };
    if (info.st_size > maxBytes)
        throw tooLarge();
    QByteArray content = readFromDescriptor(fd.get(), path, info.st_size, maxBytes);
    if (content.size() > maxBytes)
        throw tooLarge(); // it grew while it was read
    return content;
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
    syncDirectory(AT_FDCWD, directory);
}

void syncDirectory(int directoryFd, const QString& path)
{
    // Relative to the descriptor "." is the directory itself; with AT_FDCWD the path names it.
    const QByteArray name = directoryFd == AT_FDCWD ? encoded(path) : QByteArray(".");
    UniqueFd fd(::openat(directoryFd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0)
        throw PlatformError::fromErrno(errno, path);
    if (::fsync(fd.get()) != 0 && errno != EINVAL)
        throw PlatformError::fromErrno(errno, path);
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
