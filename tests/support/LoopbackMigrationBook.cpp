#include "support/LoopbackMigrationBook.h"

#include <QJsonArray>
#include <algorithm>

namespace orvalink::test {

namespace {

QDateTime dateOf(const QJsonValue& value)
{
    return QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
}

QString dateText(const QDateTime& date)
{
    return date.toUTC().toString(Qt::ISODateWithMs);
}

QJsonValue optionalDate(const QDateTime& date)
{
    return date.isValid() ? QJsonValue(dateText(date)) : QJsonValue(QJsonValue::Null);
}

QDateTime later(const QDateTime& a, const QDateTime& b)
{
    if (!a.isValid())
        return b;
    return b.isValid() && b > a ? b : a;
}

QDateTime latestActivity(const QJsonObject& snapshot)
{
    QDateTime latest;
    for (const QJsonValue& mapping : snapshot.value(QStringLiteral("mappings")).toArray()) {
        latest = later(latest, dateOf(mapping[QStringLiteral("createdAt")]));
        latest = later(latest, dateOf(mapping[QStringLiteral("updatedAt")]));
    }
    for (const QJsonValue& task : snapshot.value(QStringLiteral("tasks")).toArray()) {
        latest = later(latest, dateOf(task[QStringLiteral("startedAt")]));
        latest = later(latest, dateOf(task[QStringLiteral("endedAt")]));
    }
    return latest;
}

struct ConflictEntry {
    QString sourcePath;
    QStringList devices;
    QStringList targets;
    QDateTime latest;
};

QJsonArray conflictsOf(const QMap<QString, QJsonObject>& snapshots)
{
    QMap<QString, ConflictEntry> bySource;
    for (auto it = snapshots.cbegin(); it != snapshots.cend(); ++it) {
        for (const QJsonValue& mapping : it.value().value(QStringLiteral("mappings")).toArray()) {
            const QString source = mapping[QStringLiteral("sourcePath")].toString();
            ConflictEntry& entry = bySource[source.toLower()];
            if (entry.sourcePath.isEmpty())
                entry.sourcePath = source;
            if (!entry.devices.contains(it.key()))
                entry.devices.append(it.key());
            const QString target = mapping[QStringLiteral("targetPath")].toString();
            if (!entry.targets.contains(target))
                entry.targets.append(target);
            entry.latest = later(entry.latest, dateOf(mapping[QStringLiteral("updatedAt")]));
        }
    }
    QJsonArray conflicts;
    for (const ConflictEntry& entry : bySource) {
        if (entry.devices.size() < 2)
            continue;
        QStringList devices = entry.devices;
        std::sort(devices.begin(), devices.end());
        conflicts.append(
            QJsonObject{{QStringLiteral("sourcePath"), entry.sourcePath},
                        {QStringLiteral("deviceFingerprints"), QJsonArray::fromStringList(devices)},
                        {QStringLiteral("targetPaths"), QJsonArray::fromStringList(entry.targets)},
                        {QStringLiteral("latestUpdatedAt"), optionalDate(entry.latest)}});
    }
    return conflicts;
}

} // namespace

void LoopbackMigrationBook::noteDevice(const QString& email, const QString& fingerprint)
{
    m_devices[email].insert(fingerprint.toLower());
}

QJsonObject LoopbackMigrationBook::snapshot(const QString& email, const QString& fingerprint) const
{
    const QJsonObject stored = m_snapshots.value(email).value(fingerprint.toLower());
    if (!stored.isEmpty())
        return stored;
    return QJsonObject{{QStringLiteral("deviceFingerprint"), fingerprint},
                       {QStringLiteral("mappings"), QJsonArray()},
                       {QStringLiteral("tasks"), QJsonArray()},
                       {QStringLiteral("syncedAt"), QJsonValue::Null}};
}

std::optional<QJsonObject> LoopbackMigrationBook::store(const QString& email, const QJsonObject& upload,
                                                        const QDateTime& now)
{
    const QJsonValue fingerprint = upload.value(QStringLiteral("deviceFingerprint"));
    const QJsonValue mappings = upload.value(QStringLiteral("mappings"));
    const QJsonValue tasks = upload.value(QStringLiteral("tasks"));
    if (!fingerprint.isString() || fingerprint.toString().trimmed().isEmpty() || !mappings.isArray() ||
        !tasks.isArray())
        return std::nullopt;
    const QJsonObject stored{{QStringLiteral("deviceFingerprint"), fingerprint},
                             {QStringLiteral("mappings"), mappings},
                             {QStringLiteral("tasks"), tasks},
                             {QStringLiteral("syncedAt"), dateText(now)}};
    noteDevice(email, fingerprint.toString());
    m_snapshots[email].insert(fingerprint.toString().toLower(), stored);
    return stored;
}

QJsonObject LoopbackMigrationBook::overview(const QString& email, const QString& currentFingerprint) const
{
    const QMap<QString, QJsonObject> snapshots = m_snapshots.value(email);
    QStringList devices = m_devices.value(email).values();
    std::sort(devices.begin(), devices.end());
    qint64 totalMappings = 0;
    qint64 totalTasks = 0;
    QDateTime latestSync;
    QJsonArray deviceEntries;
    for (const QString& device : devices) {
        const QJsonObject snapshot = snapshots.value(device);
        const qint64 mappingCount = snapshot.value(QStringLiteral("mappings")).toArray().size();
        const qint64 taskCount = snapshot.value(QStringLiteral("tasks")).toArray().size();
        totalMappings += mappingCount;
        totalTasks += taskCount;
        latestSync = later(latestSync, dateOf(snapshot.value(QStringLiteral("syncedAt"))));
        deviceEntries.append(
            QJsonObject{{QStringLiteral("deviceFingerprint"), device},
                        {QStringLiteral("mappingCount"), mappingCount},
                        {QStringLiteral("taskCount"), taskCount},
                        {QStringLiteral("latestActivityAt"), optionalDate(latestActivity(snapshot))},
                        {QStringLiteral("currentDevice"), device == currentFingerprint.toLower()}});
    }
    return QJsonObject{{QStringLiteral("currentDeviceFingerprint"), currentFingerprint},
                       {QStringLiteral("totalDevices"), qint64(devices.size())},
                       {QStringLiteral("totalMappings"), totalMappings},
                       {QStringLiteral("totalTasks"), totalTasks},
                       {QStringLiteral("devices"), deviceEntries},
                       {QStringLiteral("conflicts"), conflictsOf(snapshots)},
                       {QStringLiteral("syncedAt"), optionalDate(latestSync)}};
}

} // namespace orvalink::test
