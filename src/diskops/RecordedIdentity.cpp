#include "diskops/RecordedIdentity.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace orvalink {

QString entryIdentityText(const QString& path)
{
    if (path.isEmpty() || path.contains(QChar(0)))
        return QString();
    return entryIdentityText(AT_FDCWD, QFile::encodeName(path));
}

QString entryIdentityText(int directoryFd, const QByteArray& name)
{
    const std::optional<EntryLook> look = lookAtEntry(directoryFd, name);
    return look ? look->identity : QString();
}

std::optional<EntryLook> lookAtEntry(int directoryFd, const QByteArray& name)
{
    struct statx info {};
    if (name.isEmpty() || ::statx(directoryFd, name.constData(), AT_SYMLINK_NOFOLLOW,
                                  STATX_TYPE | STATX_INO | STATX_UID | STATX_BTIME, &info) != 0)
        return std::nullopt;
    QString text = QString::number(quint64(makedev(info.stx_dev_major, info.stx_dev_minor))) +
                   QLatin1Char(':') + QString::number(quint64(info.stx_ino));
    if (info.stx_mask & STATX_BTIME) {
        text += QLatin1Char(':') + QString::number(qint64(info.stx_btime.tv_sec)) + QLatin1Char('.') +
                QString::number(info.stx_btime.tv_nsec);
    }
    return EntryLook{text, info.stx_uid, mode_t(info.stx_mode & S_IFMT)};
}

std::optional<platform::EntryIdentity> entryIdentityOf(const QString& identity)
{
    const QStringList parts = identity.split(QLatin1Char(':'));
    bool deviceRead = false;
    bool inodeRead = false;
    const quint64 device = parts.value(0).toULongLong(&deviceRead);
    const quint64 inode = parts.value(1).toULongLong(&inodeRead);
    if (parts.size() < 2 || !deviceRead || !inodeRead)
        return std::nullopt;
    return platform::EntryIdentity{dev_t(device), ino_t(inode)};
}

bool holdsEntry(const QString& path, const QString& identity)
{
    return !identity.isEmpty() && entryIdentityText(path) == identity;
}

bool sameEntryOnAnyDevice(const QString& first, const QString& second)
{
    const qsizetype firstColon = first.indexOf(QLatin1Char(':'));
    const qsizetype secondColon = second.indexOf(QLatin1Char(':'));
    return firstColon > 0 && secondColon > 0 && first.mid(firstColon) == second.mid(secondColon);
}

} // namespace orvalink
