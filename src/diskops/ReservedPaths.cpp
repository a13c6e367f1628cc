#include "diskops/ReservedPaths.h"

#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/StandardPath.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QUuid>
#include <algorithm>
#include <iterator>
#include <optional>

namespace orvalink {

namespace {

constexpr qsizetype kUuidLength = 36;
// Of an operation's own reserved names, the part of the UUID that is the operation's: all but the
// last group of twelve digits.
constexpr qsizetype kOperationPartLength = 24;
constexpr int kCounterDigits = 12;

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
    case ReservedSuffix::arriving:
        return QStringLiteral("arriving");
    case ReservedSuffix::restoring:
        return QStringLiteral("restoring");
    }
    return QString();
}

namespace {

// Everything of a reserved path of `path` but the UUID; `nameLength` is the longest name its
// parent folder takes, when known.
QString reservedPrefix(const QString& path, ReservedSuffix suffix, std::optional<qint64> nameLength = {})
{
    const QString standard = platform::standardizedPath(path);
    const qsizetype slash = standard.lastIndexOf(QLatin1Char('/'));
    const QString parent = slash <= 0 ? QStringLiteral("/") : standard.left(slash);
    const QString marker = QStringLiteral(".orvalink-") + toText(suffix) + QLatin1Char('-');
    const qint64 room =
        nameLength.value_or(platform::maximumNameLength(parent)) - 1 - marker.size() - kUuidLength;
    const QString name = fittingName(standard.mid(slash + 1), room);
    return (parent == QLatin1String("/") ? parent : parent + QLatin1Char('/')) + QLatin1Char('.') + name +
           marker;
}

QString uuidText()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString operationPart(const QUuid& operation)
{
    return operation.toString(QUuid::WithoutBraces).toUpper().left(kOperationPartLength);
}

bool isUuidText(const QString& text)
{
    const QUuid uuid = QUuid::fromString(text);
    return !uuid.isNull() && uuid.toString(QUuid::WithoutBraces).toUpper() == text;
}

bool hasReservedForm(const QString& candidate, const QString& prefix)
{
    return candidate.size() == prefix.size() + kUuidLength && candidate.startsWith(prefix) &&
           isUuidText(candidate.mid(prefix.size()));
}

constexpr ReservedSuffix kAllSuffixes[] = {
    ReservedSuffix::staging,         ReservedSuffix::targetPreserved,  ReservedSuffix::sourcePreserved,
    ReservedSuffix::appendPreserved, ReservedSuffix::rollbackConflict, ReservedSuffix::overwritePreserved,
    ReservedSuffix::repairedLink,    ReservedSuffix::arriving,         ReservedSuffix::restoring,
};
// `restoring` is the last suffix: a new one joins the list, or existingReservedPaths() misses it.
static_assert(std::size(kAllSuffixes) == static_cast<std::size_t>(ReservedSuffix::restoring) + 1,
              "every reserved suffix is listed");

} // namespace

QString makeReservedPath(const QString& path, ReservedSuffix suffix)
{
    const QString prefix = reservedPrefix(path, suffix);
    for (;;) {
        const QString candidate = prefix + uuidText();
        if (!platform::entryExists(candidate))
            return candidate;
    }
}

QString makeReservedPath(const QString& path, ReservedSuffix suffix, const QUuid& operation)
{
    const QString prefix = reservedPrefix(path, suffix) + operationPart(operation);
    for (quint64 count = 0;; ++count) {
        const QString candidate =
            prefix + QString::number(count, 16).toUpper().rightJustified(kCounterDigits, QLatin1Char('0'));
        if (!platform::entryExists(candidate))
            return candidate;
    }
}

bool isOperationReservedName(const QString& name, ReservedSuffix suffix, const QUuid& operation)
{
    const QString marker = QStringLiteral(".orvalink-") + toText(suffix) + QLatin1Char('-');
    const qsizetype uuidAt = name.size() - kUuidLength;
    return name.startsWith(QLatin1Char('.')) && uuidAt > marker.size() &&
           QStringView(name).mid(uuidAt - marker.size(), marker.size()) == marker &&
           QStringView(name).mid(uuidAt, kOperationPartLength) == operationPart(operation) &&
           isUuidText(name.mid(uuidAt));
}

bool isReservedPathOf(const QString& path, const QString& candidate, ReservedSuffix suffix)
{
    return hasReservedForm(candidate, reservedPrefix(path, suffix));
}

QStringList existingReservedPaths(const QString& path)
{
    QStringList prefixes;
    for (const ReservedSuffix suffix : kAllSuffixes)
        prefixes.append(reservedPrefix(path, suffix));
    const QDir parent(platform::parentPath(platform::standardizedPath(path)));
    QStringList found;
    for (const QString& name : parent.entryList(
             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString candidate = parent.filePath(name);
        if (std::any_of(prefixes.cbegin(), prefixes.cend(),
                        [&](const QString& prefix) { return hasReservedForm(candidate, prefix); }))
            found.append(candidate);
    }
    return found;
}

QStringList existingReservedPaths(const QStringList& places, ReservedSuffix suffix)
{
    QStringList folders;
    QHash<QString, QList<qsizetype>> placesIn; // a folder -> the indexes of its places
    for (qsizetype i = 0; i < places.size(); ++i) {
        const QString folder = platform::parentPath(platform::standardizedPath(places.at(i)));
        if (!placesIn.contains(folder))
            folders.append(folder);
        placesIn[folder].append(i);
    }
    QList<QStringList> found(places.size());
    for (const QString& folder : std::as_const(folders)) {
        const qint64 nameLength = platform::maximumNameLength(folder);
        QHash<QString, qsizetype> placeOf; // the prefix of a place's reserved paths -> its index
        for (const qsizetype index : std::as_const(placesIn[folder]))
            placeOf.insert(reservedPrefix(places.at(index), suffix, nameLength), index);
        const QDir parent(folder);
        for (const QString& name : parent.entryList(
                 QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
            if (name.size() <= kUuidLength)
                continue;
            const QString candidate = parent.filePath(name);
            const QString prefix = candidate.chopped(kUuidLength);
            const auto place = placeOf.constFind(prefix);
            if (place != placeOf.cend() && hasReservedForm(candidate, prefix))
                found[*place].append(candidate);
        }
    }
    QStringList all;
    for (const QStringList& each : std::as_const(found))
        all += each;
    return all;
}

} // namespace orvalink
