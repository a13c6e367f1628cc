#include "model/LinkMapping.h"

#include "model/JsonFields.h"

namespace orvalink {

LinkMapping LinkMapping::fromJson(const QJsonObject& object)
{
    using namespace json;
    LinkMapping mapping;
    mapping.id = requireUuid(object, "id");
    mapping.sourcePath = requireString(object, "sourcePath");
    mapping.targetPath = requireString(object, "targetPath");
    mapping.anchorUser = requireString(object, "anchorUser");
    mapping.volumeUUID = requireString(object, "volumeUUID");
    mapping.createdAt = requireDate(object, "createdAt");
    mapping.updatedAt = requireDate(object, "updatedAt");
    return mapping;
}

QJsonObject LinkMapping::toJson() const
{
    return QJsonObject{
        {QStringLiteral("id"), json::uuidText(id)},
        {QStringLiteral("sourcePath"), sourcePath},
        {QStringLiteral("targetPath"), targetPath},
        {QStringLiteral("anchorUser"), anchorUser},
        {QStringLiteral("volumeUUID"), volumeUUID},
        {QStringLiteral("createdAt"), json::isoDateText(createdAt)},
        {QStringLiteral("updatedAt"), json::isoDateText(updatedAt)},
    };
}

} // namespace orvalink
