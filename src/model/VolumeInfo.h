#pragma once

#include <QJsonObject>
#include <QString>
#include <QUuid>

namespace orvalink {

// One mounted volume with its capacity; rebuilt by every volume listing, never stored.
struct VolumeInfo {
    QUuid id;
    QString name;
    QString mountPath;
    QString volumeUUID;
    qint64 totalBytes = 0;
    qint64 freeBytes = 0;
    bool isInternal = false;
    bool isRemovable = false;
    bool isMounted = false;

    // All nine keys are required.
    static VolumeInfo fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const VolumeInfo&) const = default;
};

} // namespace orvalink
