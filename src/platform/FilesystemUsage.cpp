#include "platform/FilesystemUsage.h"

#include <QFile>
#include <sys/statvfs.h>

namespace orvalink::platform {

std::optional<FilesystemUsage> filesystemUsage(const QString& path)
{
    struct statvfs info {};
    if (::statvfs(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    const auto unit = static_cast<qint64>(info.f_frsize ? info.f_frsize : info.f_bsize);
    const qint64 total = static_cast<qint64>(info.f_blocks) * unit;
    if (total < 1)
        return std::nullopt;
    return FilesystemUsage{total, static_cast<qint64>(info.f_bavail) * unit};
}

} // namespace orvalink::platform
