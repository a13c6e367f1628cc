#include "diskops/ReservedPaths.h"

#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/StandardPath.h"

#include <QFile>
#include <QUuid>

namespace orvalink {

namespace {

constexpr qsizetype kUuidLength = 36;

// `name` cut to at most `room` bytes of its file-system spelling, never inside a character.
QString fittingName(const QString& name, qint64 room)
{
    const QByteArray bytes = QFile::encodeName(name);
    if (bytes.size() <= room)
        return name;
    qsizetype cut = qMax<qint64>(room, 0);
    while (cut > 0 && (static_cast<uchar>(bytes.at(cut)) & 0xC0) == 0x80)
        --cut;
    return QFile::decodeName(bytes.left(cut));
}

} // namespace

QString toText(ReservedSuffix suffix)
{
    switch (suffix) {
    case ReservedSuffix::staging:
        return QStringLiteral("staging");
    case ReservedSuffix::targetPreserved:
        return QStringLiteral("target-preserved");
    case ReservedSuffix::sourcePreserved:
        return QStringLiteral("source-preserved");
    case ReservedSuffix::appendPreserved:
        return QStringLiteral("append-preserved");
    case ReservedSuffix::rollbackConflict:
        return QStringLiteral("rollback-conflict");
    case ReservedSuffix::overwritePreserved:
        return QStringLiteral("overwrite-preserved");
    case ReservedSuffix::repairedLink:
        return QStringLiteral("repaired-link");
    case ReservedSuffix::restoring:
        return QStringLiteral("restoring");
    }
    return QString();
}

QString makeReservedPath(const QString& path, ReservedSuffix suffix)
{
    const QString standard = platform::standardizedPath(path);
    const qsizetype slash = standard.lastIndexOf(QLatin1Char('/'));
    const QString parent = slash <= 0 ? QStringLiteral("/") : standard.left(slash);
    const QString marker = QStringLiteral(".orvalink-") + toText(suffix) + QLatin1Char('-');
    const qint64 room = platform::maximumNameLength(parent) - 1 - marker.size() - kUuidLength;
    const QString name = fittingName(standard.mid(slash + 1), room);
    const QString prefix = (parent == QLatin1String("/") ? parent : parent + QLatin1Char('/')) +
                           QLatin1Char('.') + name + marker;
    for (;;) {
        const QString candidate = prefix + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        if (!platform::entryExists(candidate))
            return candidate;
    }
}

} // namespace orvalink
