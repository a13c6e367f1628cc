#pragma once

#include "model/VolumeInfo.h"
#include "platform/BlockDevice.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace orvalink {

struct VolumeUsage {
    qint64 total = 0;
    qint64 free = 0;
    bool operator==(const VolumeUsage&) const = default;
};

// Everything asked about disks: the volumes in the volumes directory (platform::volumesDirectory(),
// read on every call), the room a target root has, the usage of the disk that holds a path, and the
// identity of the volume a target root lies on. Answers come fresh from the system on every call;
// nothing throws, failures become fallback values.
//
// A folder in the volumes directory counts as a volume only when a file system is really mounted
// there (/proc/self/mountinfo): a stale folder left behind by an unplugged disk lies on the internal
// disk, so it is reported as not mounted, with no capacity, no free bytes and no UUID, and never
// lends the internal disk's figures to a target root.
class VolumeService {
public:
    explicit VolumeService(platform::DeviceDirectories deviceDirectories = {});

    // Every visible entry of the volumes directory, sorted by name ignoring case (stable); empty when
    // the directory cannot be listed. Each record has a new id.
    QList<VolumeInfo> listVolumes() const;

    // Free bytes of the volume the target root lies on; 0 when the root has no mount point or nothing
    // is mounted there.
    qint64 availableBytes(const QString& targetRoot) const;

    // Total and free bytes of the file system that holds `path` (any path).
    std::optional<VolumeUsage> volumeUsage(const QString& path) const;

    // The volumes directory + "/" + the next component of the standardized root, when the root lies
    // below the volumes directory. Purely textual: the volume need not exist.
    std::optional<QString> mountPoint(const QString& targetRoot) const;

    // The file-system UUID of the volume the target root lies on, or "unknown".
    QString resolveVolumeUUID(const QString& targetRoot) const;

    // The mount points of the mounted volumes of the volumes directory that carry `uuid` (compared
    // without surrounding space), in listVolumes() order; none for a UUID that is not known. More
    // than one is a disk and its clone, or FAT serial numbers that collide: the UUID alone cannot
    // tell which of them is the one it was read from.
    QStringList mountPathsWithUUID(const QString& uuid) const;

private:
    // The volume of a target root when it is really mounted.
    std::optional<QString> mountedMountPoint(const QString& targetRoot) const;

    platform::DeviceDirectories m_deviceDirectories;
};

// Volume UUID (without surrounding space) -> the mount paths of the volumes that carry it, in list
// order; blank and "unknown" UUIDs are left out, so a volume that is not mounted carries none.
QHash<QString, QStringList> mountPathsByUUID(const QList<VolumeInfo>& volumes);

// The recorded target moved to `newMountPath`: a target below a volume of the volumes directory
// keeps its path relative to the volume; anything else (a volume's mount point itself, a path
// outside the volumes directory) comes back unchanged.
QString remapTargetPath(const QString& targetPath, const QString& newMountPath);

// The identifier that stands for a volume without a readable one.
QString unknownVolumeUUID();

// Whether `uuid` names a volume: not blank and not "unknown" (ignoring case and surrounding space).
bool isKnownVolumeUUID(const QString& uuid);

// Why a volume cannot be found by `uuid` when more than one mount point carries it
// (mountPathsWithUUID): in the log's words, naming each of `mountPaths`. None for one or none.
std::optional<QString> sharedVolumeUUIDProblem(const QString& uuid, const QStringList& mountPaths);

} // namespace orvalink
