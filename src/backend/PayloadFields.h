#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

// Strict readers for reply payloads beyond those of model/JsonFields.h; each raises
// json::DecodeError on a missing value or a value of the wrong type.
namespace orvalink::payload {

// The payload itself, which must be a JSON object.
QJsonObject asObject(const QJsonValue& data);

QJsonArray requireArray(const QJsonObject& object, const char* key);

// An array whose every element is a string.
QStringList requireStringList(const QJsonObject& object, const char* key);

} // namespace orvalink::payload
