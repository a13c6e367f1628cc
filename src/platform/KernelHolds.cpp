#include "platform/KernelHolds.h"

#include "platform/MountTable.h"
#include "platform/ProcessFolder.h"
#include "platform/UniqueFd.h"

#include <QList>
#include <dirent.h>
#include <fcntl.h>
#include <linux/loop.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace orvalink::platform {

namespace {

std::optional<EntryIdentity> identityAtNamedPath(const QByteArray& path)
{
    struct stat info {};
    if (path.isEmpty() || ::lstat(path.constData(), &info) != 0)
        return std::nullopt;
    return EntryIdentity::of(info);
}

// "major:minor" as sysfs gives a device number.
std::optional<dev_t> deviceNumberOf(const QByteArray& text)
{
    const QList<QByteArray> parts = text.trimmed().split(':');
    bool majorOk = false, minorOk = false;
    const uint major = parts.size() == 2 ? parts[0].toUInt(&majorOk) : 0;
    const uint minor = parts.size() == 2 ? parts[1].toUInt(&minorOk) : 0;
    if (!majorOk || !minorOk)
        return std::nullopt;
    return ::makedev(major, minor);
}

// The backing file of the loop device `name`, as the device itself reports it: only a node that is
// that very device (by number) is asked. None when it cannot be opened (no right to, or no node).
std::optional<EntryIdentity> askLoopDevice(const QByteArray& name, dev_t device)
{
    const UniqueFd node(::open(("/dev/" + name).constData(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!node.isValid() || ::fstat(node.get(), &info) != 0 || !S_ISBLK(info.st_mode) ||
        info.st_rdev != device)
        return std::nullopt;
    struct loop_info64 status {};
    if (::ioctl(node.get(), LOOP_GET_STATUS64, &status) != 0)
        return std::nullopt;
    // The kernel encodes the device number as stat(2) does.
    return EntryIdentity{static_cast<dev_t>(status.lo_device), static_cast<ino_t>(status.lo_inode)};
}

void addLoopHolds(std::vector<KernelHold>& holds)
{
    DIR* listing = ::opendir("/sys/block");
    if (!listing)
        return;
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (!name.startsWith("loop"))
            continue;
        const UniqueFd folder(
            ::openat(::dirfd(listing), name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!folder.isValid())
            continue;
        // Present while a file is attached; sysfs ends the path with a line feed.
        QByteArray path = readProcessFile(folder.get(), "loop/backing_file");
        if (!path.endsWith('\n'))
            continue;
        path.chop(1);
        const std::optional<dev_t> device = deviceNumberOf(readProcessFile(folder.get(), "dev"));
        std::optional<EntryIdentity> identity = device ? askLoopDevice(name, *device) : std::nullopt;
        if (!identity)
            identity = identityAtNamedPath(path);
        if (identity)
            holds.push_back(KernelHold{QString::fromLatin1(name), *identity, path});
    }
    ::closedir(listing);
}

} // namespace

std::vector<KernelHold> swapFileHolds(const QByteArray& table)
{
    std::vector<KernelHold> holds;
    const QList<QByteArray> lines = table.split('\n');
    for (qsizetype index = 1; index < lines.size(); ++index) {
        const QList<QByteArray> fields = lines[index].simplified().split(' ');
        if (fields.size() < 2 || fields[1] != "file")
            continue;
        const QByteArray path = unescapedTablePath(fields[0]);
        if (const std::optional<EntryIdentity> identity = identityAtNamedPath(path))
            holds.push_back(KernelHold{QStringLiteral("swap"), *identity, path});
    }
    return holds;
}

std::vector<KernelHold> kernelHolds()
{
    std::vector<KernelHold> holds;
    addLoopHolds(holds);
    const UniqueFd proc(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (proc.isValid()) {
        for (KernelHold& hold : swapFileHolds(readProcessFile(proc.get(), "swaps")))
            holds.push_back(std::move(hold));
    }
    return holds;
}

} // namespace orvalink::platform
