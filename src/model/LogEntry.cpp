#include "model/LogEntry.h"

#include "model/JsonFields.h"

namespace orvalink {

QString toText(LogLevel level)
{
    switch (level) {
    case LogLevel::info:
        return QStringLiteral("info");
    case LogLevel::warning:
        return QStringLiteral("warning");
    case LogLevel::error:
        return QStringLiteral("error");
    }
    return QString();
}

std::optional<LogLevel> logLevelFromText(const QString& text)
{
    for (LogLevel level : {LogLevel::info, LogLevel::warning, LogLevel::error}) {
        if (toText(level) == text)
            return level;
    }
    return std::nullopt;
}

LogEntry LogEntry::fromJson(const QJsonObject& object)
{
    using namespace json;
    LogEntry entry;
    entry.id = requireUuid(object, "id");
    const auto level = logLevelFromText(requireString(object, "level"));
    if (!level)
        throw DecodeError("unknown level");
    entry.level = *level;
    entry.message = requireString(object, "message");
    entry.timestamp = requireDate(object, "timestamp");
    return entry;
}

QJsonObject LogEntry::toJson() const
{
    return QJsonObject{
        {QStringLiteral("id"), json::uuidText(id)},
        {QStringLiteral("level"), toText(level)},
        {QStringLiteral("message"), message},
        {QStringLiteral("timestamp"), json::isoDateText(timestamp)},
    };
}

} // namespace orvalink
