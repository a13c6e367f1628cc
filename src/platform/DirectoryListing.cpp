#include "platform/DirectoryListing.h"

#include "platform/PlatformError.h"

#include <QFile>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {
constexpr size_t kListingDirentBytes = 64 * 1024;

struct Descriptor {
    explicit Descriptor(int descriptor) : fd(descriptor) {}
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd;
};
} // namespace

std::vector<ListedItem> listDirectory(const QString& directory, bool includeHidden,
                                      const CancellationToken& cancellation)
{
    const QByteArray native = QFile::encodeName(directory);
    const Descriptor dir(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd < 0)
        throw PlatformError::fromErrno(errno, directory);

    std::vector<ListedItem> items;
    const auto buffer = std::make_unique<char[]>(kListingDirentBytes);
    for (;;) {
        if (cancellation.isCancelled())
            throw WalkCancelled();
        const ssize_t count = ::getdents64(dir.fd, buffer.get(), kListingDirentBytes);
        if (count < 0)
            throw PlatformError::fromErrno(errno, directory);
        if (count == 0)
            break;
        for (ssize_t offset = 0; offset < count;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(buffer.get() + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.') {
                const bool dotOrDotDot = name[1] == '\0' || (name[1] == '.' && name[2] == '\0');
                if (dotOrDotDot || !includeHidden)
                    continue;
            }
            struct stat info {};
            if (::fstatat(dir.fd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            ListedItem item;
            item.name = QFile::decodeName(name);
            item.isDirectory = S_ISDIR(info.st_mode);
            item.isSymbolicLink = S_ISLNK(info.st_mode);
            item.isRegularFile = S_ISREG(info.st_mode);
            item.length = info.st_size;
            item.allocatedBytes = static_cast<qint64>(info.st_blocks) * 512;
            item.modifiedMilliseconds =
                static_cast<qint64>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
            items.push_back(std::move(item));
        }
    }
    return items;
}

bool isDirectory(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace orvalink::platform
