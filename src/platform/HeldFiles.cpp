#include "platform/HeldFiles.h"

#include "platform/EntryIdentity.h"
#include "platform/FileIO.h"

#include <QFile>
#include <QList>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

// How often a new temporary file is made when a sweep takes each for a leftover before its lock.
constexpr int kCreateAttempts = 8;

bool isOwnRegularFile(const struct stat& info)
{
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

int lockWithRetry(int fd, int operation)
{
    int result = 0;
    do
        result = ::flock(fd, operation);
    while (result != 0 && errno == EINTR);
    return result;
}

// Opens the regular file `name` of this user in `folderFd` to take its lock: a link is never
// followed and nothing that is no regular file is opened (lstat first; O_NOFOLLOW and O_NONBLOCK in
// case it changed meanwhile). Invalid when it is not such a file or cannot be opened.
UniqueFd openOwnRegularFile(int folderFd, const QByteArray& name, struct stat& info)
{
    struct stat entry {};
    if (::fstatat(folderFd, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0 || !isOwnRegularFile(entry))
        return {};
    // Any access mode takes a flock: a file its writer made write-only is opened for writing.
    for (const int access : {O_RDONLY, O_WRONLY}) {
        UniqueFd fd(
            ::openat(folderFd, name.constData(), access | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!fd.isValid()) {
            if (errno == EACCES)
                continue;
            return {};
        }
        if (::fstat(fd.get(), &info) != 0 || !isOwnRegularFile(info) ||
            EntryIdentity::of(info) != EntryIdentity::of(entry))
            return {};
        return fd;
    }
    return {};
}

// The names in the folder, read through a descriptor of its own.
QList<QByteArray> namesIn(int folderFd)
{
    QList<QByteArray> names;
    const int listing = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return names;
    DIR* directory = ::fdopendir(listing);
    if (!directory) {
        ::close(listing);
        return names;
    }
    while (const dirent* entry = ::readdir(directory)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(directory);
    return names;
}

} // namespace

UniqueFd createHeldTemporaryFile(int folderFd, const QByteArray& finalName, QByteArray& created)
{
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        UniqueFd fd = createUniqueFile(folderFd, finalName + '.', created);
        if (!fd.isValid())
            return fd;
        // A file system that keeps no locks cannot hold the file; then no sweep can take it either.
        const bool held = lockWithRetry(fd.get(), LOCK_EX) == 0;
        struct stat info {};
        if (::fstat(fd.get(), &info) != 0) {
            const int error = errno;
            ::unlinkat(folderFd, created.constData(), 0);
            errno = error;
            return {};
        }
        // A sweep that took the lock first removed the file as a leftover: it is no longer ours.
        if (!held || info.st_nlink > 0)
            return fd;
    }
    errno = EBUSY;
    return {};
}

QString finalNameOfTemporaryFile(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 1 || !isUniqueFileSuffix(QStringView(name).mid(dot + 1)))
        return QString();
    return name.left(dot);
}

RemovedFiles removeUnheldFiles(const QString& folder, const std::function<bool(const QString& name)>& picks,
                               const std::function<bool(const QString& name)>& stillMayGo)
{
    RemovedFiles removed;
    const UniqueFd folderFd(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folderFd.isValid())
        return removed;
    for (const QByteArray& name : namesIn(folderFd.get())) {
        const QString decoded = QFile::decodeName(name);
        if (!picks(decoded))
            continue;
        struct stat opened {};
        const UniqueFd fd = openOwnRegularFile(folderFd.get(), name, opened);
        if (!fd.isValid() || lockWithRetry(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        // Held now: no writer can take it up again. Whatever stands at the name must still be it.
        struct stat named {};
        if (::fstatat(folderFd.get(), name.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
            EntryIdentity::of(named) != EntryIdentity::of(opened) || (stillMayGo && !stillMayGo(decoded)))
            continue;
        if (::unlinkat(folderFd.get(), name.constData(), 0) != 0)
            continue;
        ++removed.count;
        removed.bytes += named.st_size;
    }
    return removed;
}

RemovedFiles removeAbandonedTemporaryFiles(const QString& folder,
                                           const std::function<bool(const QString& finalName)>& isStoreName)
{
    return removeUnheldFiles(folder, [&](const QString& name) {
        const QString finalName = finalNameOfTemporaryFile(name);
        return !finalName.isEmpty() && isStoreName(finalName);
    });
}

} // namespace orvalink::platform
