#include "platform/MountTable.h"

#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "platform/UniqueFd.h"

#include <QFile>
#include <QList>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace orvalink::platform {

namespace {

QString unescaped(const QByteArray& field)
{
    return QFile::decodeName(unescapedTablePath(field));
}

std::optional<MountEntry> parseLine(const QByteArray& line)
{
    // "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue"
    const QList<QByteArray> fields = line.split(' ');
    qsizetype separator = -1;
    for (qsizetype i = 6; i < fields.size(); ++i) {
        if (fields[i] == "-") {
            separator = i;
            break;
        }
    }
    if (separator < 0 || fields.size() < separator + 3)
        return std::nullopt;
    const QList<QByteArray> numbers = fields[2].split(':');
    bool okId = false, okParent = false, okMajor = false, okMinor = false;
    MountEntry entry;
    entry.mountId = fields[0].toInt(&okId);
    entry.parentId = fields[1].toInt(&okParent);
    if (numbers.size() != 2)
        return std::nullopt;
    const unsigned major = numbers[0].toUInt(&okMajor);
    const unsigned minor = numbers[1].toUInt(&okMinor);
    if (!okId || !okParent || !okMajor || !okMinor)
        return std::nullopt;
    entry.device = makedev(major, minor);
    entry.root = unescaped(fields[3]);
    entry.mountPoint = unescaped(fields[4]);
    entry.fileSystemType = unescaped(fields[separator + 1]);
    entry.source = unescaped(fields[separator + 2]);
    return entry;
}

} // namespace

QByteArray unescapedTablePath(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = digits.size() == 3;
            for (const char d : digits)
                ok = ok && d >= '0' && d <= '7';
            if (ok) {
                out.append(static_cast<char>(digits.toInt(nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.append(c);
    }
    return out;
}

MountTable MountTable::current()
{
    try {
        return parse(readWholeFile(QStringLiteral("/proc/self/mountinfo")));
    } catch (const PlatformError&) {
        return MountTable();
    }
}

MountTable MountTable::parse(const QByteArray& mountInfo)
{
    MountTable table;
    for (const QByteArray& line : mountInfo.split('\n')) {
        if (auto entry = parseLine(line))
            table.m_entries.push_back(std::move(*entry));
    }
    return table;
}

std::optional<MountEntry> MountTable::entryAt(const QString& path) const
{
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
        if (it->mountPoint == path)
            return *it;
    }
    return std::nullopt;
}

std::optional<MountEntry> MountTable::mountedAt(const QString& path) const
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return std::nullopt;
    char* canonical = ::realpath(native.constData(), nullptr);
    if (!canonical)
        return std::nullopt;
    const QString resolved = QFile::decodeName(canonical);
    std::free(canonical);
    return entryAt(resolved);
}

std::optional<MountEntry> MountTable::covering(const QString& path) const
{
    // The kernel tells which mount an open entry lies on: that of the deepest one the path reaches.
    for (QString way = standardizedPath(path);; way = parentPath(way)) {
        const UniqueFd reached(::open(QFile::encodeName(way).constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (reached.isValid()) {
            const std::optional<quint64> mount = mountIdOf(reached.get());
            return mount ? withId(*mount) : std::nullopt;
        }
        if (way == QLatin1String("/"))
            return std::nullopt;
    }
}

std::optional<MountEntry> MountTable::withId(quint64 mountId) const
{
    for (const MountEntry& entry : m_entries) {
        if (quint64(entry.mountId) == mountId)
            return entry;
    }
    return std::nullopt;
}

std::optional<quint64> mountIdOf(int fd)
{
    struct statx info {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &info) != 0 || !(info.stx_mask & STATX_MNT_ID))
        return std::nullopt;
    return info.stx_mnt_id;
}

dev_t blockDeviceOf(const MountEntry& mount)
{
    if (mount.source.startsWith(QLatin1Char('/'))) {
        struct stat info {};
        if (::stat(QFile::encodeName(mount.source).constData(), &info) == 0 && S_ISBLK(info.st_mode))
            return info.st_rdev;
    }
    return mount.device;
}

} // namespace orvalink::platform
