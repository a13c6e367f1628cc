#include "platform/FileSystemName.h"

#include "platform/MountTable.h"
#include "platform/UniqueFd.h"

#include <QFile>
#include <QHash>
#include <fcntl.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

QString knownName(const QString& kind)
{
    static const QHash<QString, QString> names{
        {QStringLiteral("vfat"), QStringLiteral("FAT")},
        {QStringLiteral("msdos"), QStringLiteral("FAT")},
        {QStringLiteral("fat"), QStringLiteral("FAT")},
        {QStringLiteral("fusefat"), QStringLiteral("FAT")},
        {QStringLiteral("exfat"), QStringLiteral("exFAT")},
        {QStringLiteral("ntfs"), QStringLiteral("NTFS")},
        {QStringLiteral("ntfs3"), QStringLiteral("NTFS")},
        {QStringLiteral("ntfs-3g"), QStringLiteral("NTFS")},
        {QStringLiteral("hfsplus"), QStringLiteral("HFS+")},
    };
    return names.value(kind.toLower(), kind);
}

QByteArray firstSector(const QString& device)
{
    const UniqueFd fd(::open(QFile::encodeName(device).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    QByteArray sector(512, '\0');
    if (!fd.isValid() || ::pread(fd.get(), sector.data(), size_t(sector.size()), 0) != sector.size())
        return {};
    return sector;
}

} // namespace

QString fileSystemOfBootSector(const QByteArray& sector)
{
    if (sector.size() < 90)
        return {};
    if (sector.mid(3, 8) == "EXFAT   ")
        return QStringLiteral("exfat");
    if (sector.mid(3, 8) == "NTFS    ")
        return QStringLiteral("ntfs");
    if (sector.mid(82, 5) == "FAT32" || sector.mid(54, 3) == "FAT")
        return QStringLiteral("vfat");
    return {};
}

QString fileSystemName(const MountEntry& mount, const DeviceDirectories& directories)
{
    const QString& kind = mount.fileSystemType;
    for (const QString& fuse : {QStringLiteral("fuse."), QStringLiteral("fuseblk.")}) {
        if (kind.startsWith(fuse))
            return knownName(kind.mid(fuse.size()));
    }
    if (kind != QLatin1String("fuseblk"))
        return knownName(kind);
    if (const std::optional<QString> recorded = fileSystemType(blockDeviceOf(mount), directories))
        return knownName(*recorded);
    const QString signature = fileSystemOfBootSector(firstSector(mount.source));
    return knownName(signature.isEmpty() ? kind : signature);
}

} // namespace orvalink::platform
