#include "model/VolumeInfo.h"

#include "model/JsonFields.h"

namespace orvalink {

VolumeInfo VolumeInfo::fromJson(const QJsonObject& object)
{
    using namespace json;
    VolumeInfo volume;
    volume.id = requireUuid(object, "id");
    volume.name = requireString(object, "name");
    volume.mountPath = requireString(object, "mountPath");
    volume.volumeUUID = requireString(object, "volumeUUID");
    volume.totalBytes = requireInt64(object, "totalBytes");
    volume.freeBytes = requireInt64(object, "freeBytes");
    volume.isInternal = requireBool(object, "isInternal");
    volume.isRemovable = requireBool(object, "isRemovable");
    volume.isMounted = requireBool(object, "isMounted");
    return volume;
}

QJsonObject VolumeInfo::toJson() const
{
    return QJsonObject{
        {QStringLiteral("id"), json::uuidText(id)}, {QStringLiteral("name"), name},
        {QStringLiteral("mountPath"), mountPath},   {QStringLiteral("volumeUUID"), volumeUUID},
        {QStringLiteral("totalBytes"), totalBytes}, {QStringLiteral("freeBytes"), freeBytes},
        {QStringLiteral("isInternal"), isInternal}, {QStringLiteral("isRemovable"), isRemovable},
        {QStringLiteral("isMounted"), isMounted},
    };
}

} // namespace orvalink
