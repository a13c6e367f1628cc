#include "platform/BlockDevice.h"

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace orvalink::platform {

namespace {

// Device-mapper stacks are shallow; the bound only guards against a looping fake tree.
constexpr int kMaximumStackDepth = 8;

QString deviceNumberText(dev_t device)
{
    return QStringLiteral("%1:%2").arg(major(device)).arg(minor(device));
}

std::optional<QString> canonicalPath(const QString& path)
{
    char* resolved = ::realpath(QFile::encodeName(path).constData(), nullptr);
    if (!resolved)
        return std::nullopt;
    QString result = QFile::decodeName(resolved);
    std::free(resolved);
    return result;
}

QByteArray readSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(64 * 1024);
}

std::optional<QString> uuidFromLinks(dev_t device, const QString& byUuid)
{
    const QStringList names = QDir(byUuid).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        struct stat info {};
        const QByteArray link = QFile::encodeName(byUuid + QLatin1Char('/') + name);
        if (::stat(link.constData(), &info) == 0 && S_ISBLK(info.st_mode) && info.st_rdev == device)
            return name;
    }
    return std::nullopt;
}

// A property of the device's udev database record ("ID_FS_UUID"); none when it is missing or blank.
std::optional<QString> udevProperty(dev_t device, const QString& udevData, const QByteArray& property)
{
    const QByteArray record = readSmallFile(udevData + QStringLiteral("/b") + deviceNumberText(device));
    const QByteArray key = "E:" + property + '=';
    for (const QByteArray& line : record.split('\n')) {
        if (line.startsWith(key)) {
            const QString value = QString::fromUtf8(line.mid(key.size())).trimmed();
            if (!value.isEmpty())
                return value;
        }
    }
    return std::nullopt;
}

std::optional<DeviceKind> describe(const QString& sysfsDevice, int depth)
{
    if (depth > kMaximumStackDepth)
        return std::nullopt;
    QString disk = sysfsDevice;
    if (QFile::exists(sysfsDevice + QStringLiteral("/partition")))
        disk = sysfsDevice.left(sysfsDevice.lastIndexOf(QLatin1Char('/')));
    if (disk.contains(QStringLiteral("/devices/virtual/"))) {
        // A mapped or assembled device takes after the disk it is built on.
        const QString slaves = disk + QStringLiteral("/slaves");
        const QStringList below = QDir(slaves).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
        if (below.isEmpty())
            return std::nullopt;
        const auto next = canonicalPath(slaves + QLatin1Char('/') + below.first());
        return next ? describe(*next, depth + 1) : std::nullopt;
    }
    const bool flagged = readSmallFile(disk + QStringLiteral("/removable")).trimmed() == "1";
    const bool removableBus = disk.contains(QStringLiteral("/usb")) || disk.contains(QStringLiteral("/mmc"));
    const bool removable = flagged || removableBus;
    return DeviceKind{!removable, removable};
}

} // namespace

std::optional<QString> fileSystemUuid(dev_t device, const DeviceDirectories& directories)
{
    if (auto fromLinks = uuidFromLinks(device, directories.byUuid))
        return fromLinks;
    return udevProperty(device, directories.udevData, "ID_FS_UUID");
}

std::optional<QString> fileSystemType(dev_t device, const DeviceDirectories& directories)
{
    return udevProperty(device, directories.udevData, "ID_FS_TYPE");
}

std::optional<DeviceKind> deviceKind(dev_t device, const DeviceDirectories& directories)
{
    const auto resolved =
        canonicalPath(directories.sysDevBlock + QLatin1Char('/') + deviceNumberText(device));
    if (!resolved)
        return std::nullopt;
    return describe(*resolved, 0);
}

} // namespace orvalink::platform
