#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QUuid>
#include <optional>

namespace orvalink {

enum class TaskStatus { queued, prechecking, moving, verifying, linking, completed, failed, rolledBack };

// The text values ("rolledBack" with an upper-case B); parsing is case-sensitive.
QString toText(TaskStatus status);
std::optional<TaskStatus> taskStatusFromText(const QString& text);

// One attempt to migrate or to undo, with its outcome.
struct MigrationTask {
    QUuid id;
    QString sourcePath;
    QString targetPath;
    QString anchorUser;
    QString volumeUUID;
    TaskStatus status = TaskStatus::queued;
    std::optional<QDateTime> startedAt;
    std::optional<QDateTime> endedAt;
    std::optional<QString> errorCode;
    std::optional<QString> errorMessage;

    static MigrationTask fromJson(const QJsonObject& object);
    // The four optional fields are written only when present.
    QJsonObject toJson() const;

    bool operator==(const MigrationTask&) const = default;
};

} // namespace orvalink
