#include "platform/FileTail.h"

#include "platform/PlatformError.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

std::optional<FileTail> readFileTail(const QString& path, qint64 offset)
{
    const QByteArray native = path.toLocal8Bit();
    UniqueFd fd(::open(native.constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.isValid()) {
        if (errno == ENOENT)
            return std::nullopt;
        throw PlatformError::fromErrno(errno, path);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throw PlatformError::fromErrno(errno, path);

    FileTail tail;
    tail.identity = {static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino)};
    tail.size = static_cast<qint64>(info.st_size);
    tail.offset = std::clamp<qint64>(offset, 0, tail.size);

    // Read until the end of file, not just the length seen above: appends may arrive meanwhile.
    qint64 position = tail.offset;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::pread(fd.get(), buffer, sizeof buffer, static_cast<off_t>(position));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw PlatformError::fromErrno(errno, path);
        }
        if (got == 0)
            break;
        tail.bytes.append(buffer, static_cast<qsizetype>(got));
        position += got;
    }
    tail.size = std::max(tail.size, position);
    return tail;
}

} // namespace orvalink::platform
