#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QUuid>

namespace orvalink {

// One migrated directory: the data lives at targetPath, a symbolic link stands at sourcePath.
struct LinkMapping {
    QUuid id;
    QString sourcePath;
    QString targetPath;
    QString anchorUser;
    QString volumeUUID;
    QDateTime createdAt;
    QDateTime updatedAt;

    // The later of createdAt and updatedAt; history lists are ordered by it, newest first.
    QDateTime recency() const { return updatedAt > createdAt ? updatedAt : createdAt; }

    // All seven keys are required.
    static LinkMapping fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const LinkMapping&) const = default;
};

} // namespace orvalink
