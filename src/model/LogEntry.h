#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QUuid>
#include <optional>

namespace orvalink {

enum class LogLevel { info, warning, error };

QString toText(LogLevel level);
std::optional<LogLevel> logLevelFromText(const QString& text);

// One line of the user-visible log.
struct LogEntry {
    QUuid id;
    LogLevel level = LogLevel::info;
    QString message;
    QDateTime timestamp;

    // All four keys are required.
    static LogEntry fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const LogEntry&) const = default;
};

} // namespace orvalink
