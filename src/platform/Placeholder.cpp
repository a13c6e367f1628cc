#include "platform/Placeholder.h"

#include "platform/EntryLocation.h"
#include "platform/PlatformError.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

void removePlaceholder(const QString& path)
{
    removePlaceholder(EntryLocation::open(path));
}

void removePlaceholder(const EntryLocation& location)
{
    struct stat info {};
    if (::fstatat(location.parent.get(), location.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        throw PlatformError::fromErrno(errno, location.path);
    int flags = 0;
    if (S_ISDIR(info.st_mode))
        flags = AT_REMOVEDIR;
    else if (!S_ISLNK(info.st_mode))
        throw PlatformError::fromErrno(ENOTDIR, location.path);
    // Should the entry change kind after the lstat, unlink refuses a directory and rmdir refuses
    // anything else, so a swap can never widen what is removed.
    if (::unlinkat(location.parent.get(), location.name.constData(), flags) != 0)
        throw PlatformError::fromErrno(errno, location.path);
}

void createSymbolicLink(const QString& linkPath, const QString& target)
{
    createSymbolicLink(EntryLocation::open(linkPath), target);
}

void createSymbolicLink(const EntryLocation& location, const QString& target)
{
    if (::symlinkat(QFile::encodeName(target).constData(), location.parent.get(),
                    location.name.constData()) != 0)
        throw PlatformError::fromErrno(errno, location.path);
}

} // namespace orvalink::platform
