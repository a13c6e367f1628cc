#include "diskops/VolumeService.h"

#include "diskops/LocalizedOrder.h"
#include "platform/DirectoryListing.h"
#include "platform/FilesystemUsage.h"
#include "platform/MountTable.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "platform/UserLocations.h"

#include <QUuid>

namespace orvalink {

namespace {

QString uuidOf(const platform::MountEntry& mount, const platform::DeviceDirectories& directories)
{
    return platform::fileSystemUuid(platform::blockDeviceOf(mount), directories)
        .value_or(unknownVolumeUUID());
}

VolumeInfo describeVolume(const QString& name, const QString& mountPath, const platform::MountTable& mounts,
                          const platform::DeviceDirectories& directories)
{
    VolumeInfo volume;
    volume.id = QUuid::createUuid();
    volume.name = name;
    volume.mountPath = mountPath;
    volume.volumeUUID = unknownVolumeUUID();
    // What is known of a volume without facts: not internal, removable.
    volume.isInternal = false;
    volume.isRemovable = true;
    const auto mount = mounts.mountedAt(mountPath);
    volume.isMounted = mount.has_value();
    if (!mount)
        return volume;
    if (const auto usage = platform::filesystemUsage(mountPath)) {
        volume.totalBytes = usage->totalBytes;
        volume.freeBytes = usage->freeBytes;
    }
    volume.volumeUUID = uuidOf(*mount, directories);
    if (const auto kind = platform::deviceKind(platform::blockDeviceOf(*mount), directories)) {
        volume.isInternal = kind->isInternal;
        volume.isRemovable = kind->isRemovable;
    }
    return volume;
}

} // namespace

QString unknownVolumeUUID()
{
    return QStringLiteral("unknown");
}

bool isKnownVolumeUUID(const QString& uuid)
{
    const QString trimmed = uuid.trimmed();
    return !trimmed.isEmpty() && trimmed.compare(unknownVolumeUUID(), Qt::CaseInsensitive) != 0;
}

std::optional<QString> sharedVolumeUUIDProblem(const QString& uuid, const QStringList& mountPaths)
{
    if (mountPaths.size() < 2)
        return std::nullopt;
    const QString places = mountPaths.mid(0, mountPaths.size() - 1).join(QStringLiteral(", ")) +
                           QStringLiteral(" and ") + mountPaths.constLast();
    return QStringLiteral("the volumes at ") + places + QStringLiteral(" carry the same UUID ") +
           uuid.trimmed() + QStringLiteral(", so which of them is the migration's cannot be told");
}

VolumeService::VolumeService(platform::DeviceDirectories deviceDirectories)
    : m_deviceDirectories(std::move(deviceDirectories))
{}

QList<VolumeInfo> VolumeService::listVolumes() const
{
    const QString directory = platform::standardizedPath(platform::volumesDirectory());
    std::vector<platform::ListedItem> items;
    try {
        items = platform::listDirectory(directory, false);
    } catch (const platform::PlatformError&) {
        return {};
    }
    const platform::MountTable mounts = platform::MountTable::current();
    QList<VolumeInfo> volumes;
    for (const auto& item : items) {
        const QString mountPath = directory == QLatin1String("/") ? directory + item.name
                                                                  : directory + QLatin1Char('/') + item.name;
        volumes.append(describeVolume(item.name, mountPath, mounts, m_deviceDirectories));
    }
    sortByLocalizedName(volumes, &VolumeInfo::name);
    return volumes;
}

std::optional<QString> VolumeService::mountPoint(const QString& targetRoot) const
{
    const QString root = platform::standardizedPath(targetRoot);
    const QString volumes = platform::standardizedPath(platform::volumesDirectory());
    const QString prefix = volumes == QLatin1String("/") ? volumes : volumes + QLatin1Char('/');
    if (!root.startsWith(prefix) || root.size() == prefix.size())
        return std::nullopt;
    const QString volume = root.mid(prefix.size()).section(QLatin1Char('/'), 0, 0);
    return prefix + volume;
}

std::optional<QString> VolumeService::mountedMountPoint(const QString& targetRoot) const
{
    const auto mountPath = mountPoint(targetRoot);
    if (!mountPath || !platform::MountTable::current().mountedAt(*mountPath))
        return std::nullopt;
    return mountPath;
}

qint64 VolumeService::availableBytes(const QString& targetRoot) const
{
    const auto mountPath = mountedMountPoint(targetRoot);
    if (!mountPath)
        return 0;
    const auto usage = platform::filesystemUsage(*mountPath);
    return usage ? usage->freeBytes : 0;
}

std::optional<VolumeUsage> VolumeService::volumeUsage(const QString& path) const
{
    const auto usage = platform::filesystemUsage(platform::standardizedPath(path));
    if (!usage)
        return std::nullopt;
    return VolumeUsage{usage->totalBytes, usage->freeBytes};
}

QString VolumeService::resolveVolumeUUID(const QString& targetRoot) const
{
    const auto mountPath = mountPoint(targetRoot);
    if (!mountPath)
        return unknownVolumeUUID();
    const auto mount = platform::MountTable::current().mountedAt(*mountPath);
    return mount ? uuidOf(*mount, m_deviceDirectories) : unknownVolumeUUID();
}

QStringList VolumeService::mountPathsWithUUID(const QString& uuid) const
{
    if (!isKnownVolumeUUID(uuid))
        return {};
    return mountPathsByUUID(listVolumes()).value(uuid.trimmed());
}

QString remapTargetPath(const QString& targetPath, const QString& newMountPath)
{
    const QString volumes = platform::standardizedPath(platform::volumesDirectory());
    const QString prefix = volumes == QLatin1String("/") ? volumes : volumes + QLatin1Char('/');
    const QString standard = platform::standardizedPath(targetPath);
    if (!standard.startsWith(prefix))
        return targetPath;
    const QStringList pieces = standard.mid(prefix.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (pieces.size() < 2)
        return targetPath;
    return platform::standardizedPath(platform::standardizedPath(newMountPath) + QLatin1Char('/') +
                                      pieces.mid(1).join(QLatin1Char('/')));
}

QHash<QString, QStringList> mountPathsByUUID(const QList<VolumeInfo>& volumes)
{
    QHash<QString, QStringList> mountPaths;
    for (const VolumeInfo& volume : volumes) {
        const QString uuid = volume.volumeUUID.trimmed();
        if (isKnownVolumeUUID(uuid))
            mountPaths[uuid].append(volume.mountPath);
    }
    return mountPaths;
}

} // namespace orvalink
