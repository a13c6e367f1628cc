#include "backend/MigrationSyncPayloads.h"

#include "backend/PayloadFields.h"
#include "model/JsonFields.h"

#include <QJsonArray>

namespace orvalink::syncwire {

namespace {

constexpr TaskStatus kAllStatuses[] = {TaskStatus::queued,    TaskStatus::prechecking, TaskStatus::moving,
                                       TaskStatus::verifying, TaskStatus::linking,     TaskStatus::completed,
                                       TaskStatus::failed,    TaskStatus::rolledBack};

std::optional<TaskStatus> statusIgnoringCase(const QString& text)
{
    for (TaskStatus status : kAllStatuses) {
        if (toText(status).compare(text, Qt::CaseInsensitive) == 0)
            return status;
    }
    return std::nullopt;
}

QString lowerUuidText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toLower();
}

SnapshotMappingRow mappingRow(const QJsonObject& object, const ServiceDateReader& dates)
{
    return SnapshotMappingRow{
        json::requireString(object, "id"),         json::requireString(object, "sourcePath"),
        json::requireString(object, "targetPath"), json::requireString(object, "anchorUser"),
        json::requireString(object, "volumeUUID"), dates.require(object, "createdAt"),
        dates.require(object, "updatedAt")};
}

SnapshotTaskRow taskRow(const QJsonObject& object, const ServiceDateReader& dates)
{
    return SnapshotTaskRow{
        json::requireString(object, "id"),         json::requireString(object, "sourcePath"),
        json::requireString(object, "targetPath"), json::requireString(object, "anchorUser"),
        json::requireString(object, "volumeUUID"), json::requireString(object, "status"),
        dates.optional(object, "startedAt"),       dates.optional(object, "endedAt"),
        json::optionalString(object, "errorCode"), json::optionalString(object, "errorMessage")};
}

BackendMigrationDeviceOverview deviceEntry(const QJsonObject& object, const ServiceDateReader& dates)
{
    return BackendMigrationDeviceOverview{
        json::requireString(object, "deviceFingerprint"), json::requireInt64(object, "mappingCount"),
        json::requireInt64(object, "taskCount"), dates.optional(object, "latestActivityAt"),
        json::requireBool(object, "currentDevice")};
}

BackendMigrationConflict conflictEntry(const QJsonObject& object, const ServiceDateReader& dates)
{
    return BackendMigrationConflict{
        json::requireString(object, "sourcePath"), payload::requireStringList(object, "deviceFingerprints"),
        payload::requireStringList(object, "targetPaths"), dates.optional(object, "latestUpdatedAt")};
}

template <typename Row, typename Read>
QList<Row> rows(const QJsonObject& object, const char* key, const ServiceDateReader& dates, Read read)
{
    QList<Row> result;
    for (const QJsonValue& element : payload::requireArray(object, key))
        result.append(read(payload::asObject(element), dates));
    return result;
}

} // namespace

SnapshotPayload SnapshotPayload::fromServiceJson(const QJsonValue& data, const ServiceDateReader& dates)
{
    const QJsonObject object = payload::asObject(data);
    SnapshotPayload snapshot;
    snapshot.deviceFingerprint = json::requireString(object, "deviceFingerprint");
    snapshot.mappings = rows<SnapshotMappingRow>(object, "mappings", dates, mappingRow);
    snapshot.tasks = rows<SnapshotTaskRow>(object, "tasks", dates, taskRow);
    snapshot.syncedAt = dates.optional(object, "syncedAt");
    return snapshot;
}

MigrationSyncSnapshot SnapshotPayload::makeSnapshot() const
{
    MigrationSyncSnapshot snapshot{deviceFingerprint, {}, {}, syncedAt};
    for (const SnapshotMappingRow& row : mappings) {
        const auto id = json::parseUuid(row.id);
        if (!id)
            continue;
        snapshot.mappings.append(LinkMapping{*id, row.sourcePath, row.targetPath, row.anchorUser,
                                             row.volumeUUID, row.createdAt, row.updatedAt});
    }
    for (const SnapshotTaskRow& row : tasks) {
        const auto id = json::parseUuid(row.id);
        const auto status = statusIgnoringCase(row.status);
        if (!id || !status)
            continue;
        snapshot.tasks.append(MigrationTask{*id, row.sourcePath, row.targetPath, row.anchorUser,
                                            row.volumeUUID, *status, row.startedAt, row.endedAt,
                                            row.errorCode, row.errorMessage});
    }
    return snapshot;
}

OverviewPayload OverviewPayload::fromServiceJson(const QJsonValue& data, const ServiceDateReader& dates)
{
    const QJsonObject object = payload::asObject(data);
    BackendMigrationOverview overview;
    overview.currentDeviceFingerprint = json::optionalString(object, "currentDeviceFingerprint");
    overview.totalDevices = json::requireInt64(object, "totalDevices");
    overview.totalMappings = json::requireInt64(object, "totalMappings");
    overview.totalTasks = json::requireInt64(object, "totalTasks");
    overview.devices = rows<BackendMigrationDeviceOverview>(object, "devices", dates, deviceEntry);
    overview.conflicts = rows<BackendMigrationConflict>(object, "conflicts", dates, conflictEntry);
    overview.syncedAt = dates.optional(object, "syncedAt");
    return OverviewPayload{overview};
}

QJsonObject makeSyncRequest(const QString& deviceFingerprint, const QList<LinkMapping>& mappings,
                            const QList<MigrationTask>& tasks)
{
    QJsonArray mappingArray;
    for (const LinkMapping& mapping : mappings)
        mappingArray.append(mappingUpload(mapping));
    QJsonArray taskArray;
    for (const MigrationTask& task : tasks)
        taskArray.append(taskUpload(task));
    return QJsonObject{
        {QStringLiteral("deviceFingerprint"), deviceFingerprint},
        {QStringLiteral("mappings"), mappingArray},
        {QStringLiteral("tasks"), taskArray},
    };
}

QJsonObject mappingUpload(const LinkMapping& mapping)
{
    return QJsonObject{
        {QStringLiteral("id"), lowerUuidText(mapping.id)},
        {QStringLiteral("sourcePath"), mapping.sourcePath},
        {QStringLiteral("targetPath"), mapping.targetPath},
        {QStringLiteral("anchorUser"), mapping.anchorUser},
        {QStringLiteral("volumeUUID"), mapping.volumeUUID},
        {QStringLiteral("createdAt"), uploadDateText(mapping.createdAt)},
        {QStringLiteral("updatedAt"), uploadDateText(mapping.updatedAt)},
    };
}

QJsonObject taskUpload(const MigrationTask& task)
{
    QJsonObject object{
        {QStringLiteral("id"), lowerUuidText(task.id)},  {QStringLiteral("sourcePath"), task.sourcePath},
        {QStringLiteral("targetPath"), task.targetPath}, {QStringLiteral("anchorUser"), task.anchorUser},
        {QStringLiteral("volumeUUID"), task.volumeUUID}, {QStringLiteral("status"), toText(task.status)},
    };
    if (task.startedAt)
        object.insert(QStringLiteral("startedAt"), uploadDateText(*task.startedAt));
    if (task.endedAt)
        object.insert(QStringLiteral("endedAt"), uploadDateText(*task.endedAt));
    if (task.errorCode)
        object.insert(QStringLiteral("errorCode"), *task.errorCode);
    if (task.errorMessage)
        object.insert(QStringLiteral("errorMessage"), *task.errorMessage);
    return object;
}

QString uploadDateText(const QDateTime& date)
{
    return date.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'"));
}

} // namespace orvalink::syncwire
