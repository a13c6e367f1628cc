#pragma once

#include "platform/BlockDevice.h"

#include <QByteArray>
#include <QString>

namespace orvalink::platform {

struct MountEntry;

// The name people know the file system of `mount` by: "FAT", "exFAT", "NTFS", "HFS+", else the
// kind the mount table gives ("ext4", "btrfs"). A FUSE mount is named by its driver's subtype
// ("fuse.fusefat"); a block device mounted through FUSE ("fuseblk") by what udev records of the
// device, else by the signature in its first sector where that can be read, else "fuseblk".
QString fileSystemName(const MountEntry& mount, const DeviceDirectories& directories = {});

// The kind of file system whose first sector is `sector`, by its signature: "exfat", "ntfs" or
// "vfat"; empty for any other.
QString fileSystemOfBootSector(const QByteArray& sector);

} // namespace orvalink::platform
