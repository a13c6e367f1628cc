#include "model/MigrationTask.h"

#include "model/JsonFields.h"

#include <array>

namespace orvalink {

namespace {
constexpr std::array<std::pair<TaskStatus, const char*>, 8> kStatusTexts{{
    {TaskStatus::queued, "queued"},
    {TaskStatus::prechecking, "prechecking"},
    {TaskStatus::moving, "moving"},
    {TaskStatus::verifying, "verifying"},
    {TaskStatus::linking, "linking"},
    {TaskStatus::completed, "completed"},
    {TaskStatus::failed, "failed"},
    {TaskStatus::rolledBack, "rolledBack"},
}};
} // namespace

QString toText(TaskStatus status)
{
    for (const auto& [value, text] : kStatusTexts) {
        if (value == status)
            return QLatin1String(text);
    }
    return QString();
}

std::optional<TaskStatus> taskStatusFromText(const QString& text)
{
    for (const auto& [value, candidate] : kStatusTexts) {
        if (text == QLatin1String(candidate))
            return value;
    }
    return std::nullopt;
}

MigrationTask MigrationTask::fromJson(const QJsonObject& object)
{
    using namespace json;
    MigrationTask task;
    task.id = requireUuid(object, "id");
    task.sourcePath = requireString(object, "sourcePath");
    task.targetPath = requireString(object, "targetPath");
    task.anchorUser = requireString(object, "anchorUser");
    task.volumeUUID = requireString(object, "volumeUUID");
    const auto status = taskStatusFromText(requireString(object, "status"));
    if (!status)
        throw DecodeError("unknown status");
    task.status = *status;
    task.startedAt = optionalDate(object, "startedAt");
    task.endedAt = optionalDate(object, "endedAt");
    task.errorCode = optionalString(object, "errorCode");
    task.errorMessage = optionalString(object, "errorMessage");
    return task;
}

QJsonObject MigrationTask::toJson() const
{
    QJsonObject object{
        {QStringLiteral("id"), json::uuidText(id)}, {QStringLiteral("sourcePath"), sourcePath},
        {QStringLiteral("targetPath"), targetPath}, {QStringLiteral("anchorUser"), anchorUser},
        {QStringLiteral("volumeUUID"), volumeUUID}, {QStringLiteral("status"), toText(status)},
    };
    if (startedAt)
        object.insert(QStringLiteral("startedAt"), json::isoDateText(*startedAt));
    if (endedAt)
        object.insert(QStringLiteral("endedAt"), json::isoDateText(*endedAt));
    if (errorCode)
        object.insert(QStringLiteral("errorCode"), *errorCode);
    if (errorMessage)
        object.insert(QStringLiteral("errorMessage"), *errorMessage);
    return object;
}

} // namespace orvalink
