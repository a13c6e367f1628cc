#pragma once

#include <QString>
#include <optional>

namespace orvalink::platform {

struct FilesystemUsage {
    qint64 totalBytes = 0;
    qint64 freeBytes = 0; // what an unprivileged user may still write (f_bavail)
};

// statvfs(3) of the file system that holds `path`; none when it fails or reports no capacity.
std::optional<FilesystemUsage> filesystemUsage(const QString& path);

} // namespace orvalink::platform
