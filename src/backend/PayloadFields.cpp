#include "backend/PayloadFields.h"

#include "model/JsonFields.h"

namespace orvalink::payload {

QJsonObject asObject(const QJsonValue& data)
{
    if (!data.isObject())
        throw json::DecodeError("expected an object payload");
    return data.toObject();
}

QJsonArray requireArray(const QJsonObject& object, const char* key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isArray())
        throw json::DecodeError(std::string("expected an array for key \"") + key + "\"");
    return value.toArray();
}

QStringList requireStringList(const QJsonObject& object, const char* key)
{
    QStringList result;
    for (const QJsonValue& element : requireArray(object, key)) {
        if (!element.isString())
            throw json::DecodeError(std::string("expected strings in \"") + key + "\"");
        result.append(element.toString());
    }
    return result;
}

} // namespace orvalink::payload
