#include "diskops/RecordedIdentity.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace orvalink {

QString entryIdentityText(const QString& path)
{
    struct statx info {};
    if (path.isEmpty() || ::statx(AT_FDCWD, QFile::encodeName(path).constData(), AT_SYMLINK_NOFOLLOW,
                                  STATX_INO | STATX_BTIME, &info) != 0)
        return QString();
    QString text = QString::number(quint64(makedev(info.stx_dev_major, info.stx_dev_minor))) +
                   QLatin1Char(':') + QString::number(quint64(info.stx_ino));
    if (info.stx_mask & STATX_BTIME) {
        text += QLatin1Char(':') + QString::number(qint64(info.stx_btime.tv_sec)) + QLatin1Char('.') +
                QString::number(info.stx_btime.tv_nsec);
    }
    return text;
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
