#include "platform/EntryStatus.h"

#include "platform/PlatformError.h"

#include <QFile>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

EntryStatus entryStatus(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        throw PlatformError::fromErrno(errno, path);
    }
    EntryStatus status;
    if (S_ISDIR(info.st_mode))
        status.kind = EntryKind::directory;
    else if (S_ISLNK(info.st_mode))
        status.kind = EntryKind::symbolicLink;
    else if (S_ISREG(info.st_mode))
        status.kind = EntryKind::regularFile;
    else
        status.kind = EntryKind::other;
    status.length = info.st_size;
    status.allocatedBytes = qint64(info.st_blocks) * 512;
    return status;
}

qint64 maximumNameLength(const QString& directory)
{
    errno = 0;
    const long limit = ::pathconf(QFile::encodeName(directory).constData(), _PC_NAME_MAX);
    return limit > 0 ? qint64(limit) : 255;
}

bool isRealDirectory(const QString& path)
{
    return entryStatus(path).kind == EntryKind::directory;
}

} // namespace orvalink::platform
