#pragma once

#include <QString>
#include <optional>
#include <sys/types.h>

namespace orvalink::platform {

// Where the kernel and udev describe block devices; tests point them at fake trees.
struct DeviceDirectories {
    QString byUuid = QStringLiteral("/dev/disk/by-uuid");
    QString udevData = QStringLiteral("/run/udev/data");
    QString sysDevBlock = QStringLiteral("/sys/dev/block");
};

// The file-system UUID of a block device: the name of the /dev/disk/by-uuid link that leads to a
// node of that device, else ID_FS_UUID from its udev database record; none when neither knows it
// (tmpfs and other file systems without a device have none).
std::optional<QString> fileSystemUuid(dev_t device, const DeviceDirectories& directories = {});

// The kind of file system on a block device as udev's database records it ("exfat", "vfat"); none
// when it records none.
std::optional<QString> fileSystemType(dev_t device, const DeviceDirectories& directories = {});

struct DeviceKind {
    bool isInternal = false;
    bool isRemovable = false;
};

// Whether a block device is removable, from sysfs: the disk that holds it (the parent of a partition;
// for device-mapper and md devices the disk below them) is removable when its "removable" flag is set
// or it sits on a USB or MMC bus; a disk that is not removable is internal. None when sysfs does not
// describe the device (no device at all, or a purely virtual one such as a loop device).
std::optional<DeviceKind> deviceKind(dev_t device, const DeviceDirectories& directories = {});

} // namespace orvalink::platform
