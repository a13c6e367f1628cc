#include "store/ScanCacheStore.h"

#include "model/AppPaths.h"
#include "model/JsonFields.h"
#include "platform/FileIO.h"
#include "platform/StandardPath.h"
#include "store/JSONLStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>

namespace orvalink {

namespace {

struct CachedDirectoryScan {
    QString cacheKey;
    QString directoryPath;
    bool includeHiddenFiles = false;
    QDateTime updatedAt;
    QList<DirectoryEntry> entries;

    static CachedDirectoryScan fromJson(const QJsonObject& object)
    {
        using namespace json;
        CachedDirectoryScan scan;
        scan.cacheKey = requireString(object, "cacheKey");
        scan.directoryPath = requireString(object, "directoryPath");
        scan.includeHiddenFiles = requireBool(object, "includeHiddenFiles");
        scan.updatedAt = requireDate(object, "updatedAt");
        const QJsonValue entries = object.value(QLatin1String("entries"));
        if (!entries.isArray())
            throw DecodeError("expected an array for key \"entries\"");
        for (const QJsonValue& entry : entries.toArray()) {
            if (!entry.isObject())
                throw DecodeError("expected an entry object");
            scan.entries.append(DirectoryEntry::fromJson(entry.toObject()));
        }
        return scan;
    }

    QJsonObject toJson() const
    {
        QJsonArray array;
        for (const DirectoryEntry& entry : entries)
            array.append(entry.toJson());
        return QJsonObject{
            {QStringLiteral("cacheKey"), cacheKey},
            {QStringLiteral("directoryPath"), directoryPath},
            {QStringLiteral("includeHiddenFiles"), includeHiddenFiles},
            {QStringLiteral("updatedAt"), json::isoDateText(updatedAt)},
            {QStringLiteral("entries"), array},
        };
    }
};

// All scans of the file in file order; none when there is no file or any part fails to decode.
std::optional<QList<CachedDirectoryScan>> readScans(const QString& filePath)
{
    try {
        AppPaths::ensureBaseDirectories();
        if (!platform::fileExists(filePath))
            return std::nullopt;
        const QJsonObject payload = json::parseObject(platform::readWholeFile(filePath));
        const QJsonValue scans = payload.value(QLatin1String("scans"));
        if (!scans.isArray())
            return std::nullopt;
        QList<CachedDirectoryScan> result;
        for (const QJsonValue& scan : scans.toArray()) {
            if (!scan.isObject())
                return std::nullopt;
            result.append(CachedDirectoryScan::fromJson(scan.toObject()));
        }
        return result;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

ScanCacheStore::ScanCacheStore(QString filePath) : m_filePath(std::move(filePath)) {}

QString ScanCacheStore::cacheKey(const QString& directoryPath, bool includeHiddenFiles)
{
    return platform::standardizedPath(directoryPath) +
           (includeHiddenFiles ? QStringLiteral("|1") : QStringLiteral("|0"));
}

std::optional<QList<DirectoryEntry>> ScanCacheStore::loadEntries(const QString& directoryPath,
                                                                 bool includeHiddenFiles) const
{
    const QString key = cacheKey(directoryPath, includeHiddenFiles);
    const auto scans = readScans(m_filePath);
    if (!scans)
        return std::nullopt;
    for (const CachedDirectoryScan& scan : *scans) {
        if (scan.cacheKey == key)
            return scan.entries;
    }
    return std::nullopt;
}

void ScanCacheStore::saveEntries(const QList<DirectoryEntry>& entries, const QString& directoryPath,
                                 bool includeHiddenFiles)
{
    // Saves from two workers would otherwise each start from the same old file and drop the
    // other's listing.
    std::lock_guard guard(JSONLStore::fileLock(m_filePath));
    const QString key = cacheKey(directoryPath, includeHiddenFiles);
    QList<CachedDirectoryScan> scans{
        CachedDirectoryScan{key, platform::standardizedPath(directoryPath), includeHiddenFiles,
                            json::wholeSeconds(QDateTime::currentDateTimeUtc()), entries}};
    QSet<QString> seen{key};
    for (CachedDirectoryScan& scan : readScans(m_filePath).value_or(QList<CachedDirectoryScan>{})) {
        if (!seen.contains(scan.cacheKey)) {
            seen.insert(scan.cacheKey);
            scans.append(std::move(scan));
        }
    }
    // Stable: the new listing stays ahead of older ones saved within the same second.
    std::stable_sort(
        scans.begin(), scans.end(),
        [](const CachedDirectoryScan& a, const CachedDirectoryScan& b) { return a.updatedAt > b.updatedAt; });
    QJsonArray array;
    for (const CachedDirectoryScan& scan : scans)
        array.append(scan.toJson());
    try {
        AppPaths::ensureBaseDirectories();
        platform::writeFileAtomically(m_filePath,
                                      QJsonDocument(QJsonObject{{QStringLiteral("scans"), array}}).toJson());
    } catch (const std::exception&) {
        // A cache that could not be written is only a slower next load.
    }
}

} // namespace orvalink
