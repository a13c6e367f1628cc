#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QUuid>
#include <optional>
#include <stdexcept>

// Strict readers for the JSON forms of the records: a required key that is missing, null or of the
// wrong type, and an optional key of the wrong type, raise DecodeError; a missing or null optional
// key reads as absent. Dates are ISO 8601 internet date-time text in UTC with whole seconds.
namespace orvalink::json {

class DecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

QString requireString(const QJsonObject& object, const char* key);
std::optional<QString> optionalString(const QJsonObject& object, const char* key);
qint64 requireInt64(const QJsonObject& object, const char* key);
std::optional<qint64> optionalInt64(const QJsonObject& object, const char* key);
bool requireBool(const QJsonObject& object, const char* key);
std::optional<bool> optionalBool(const QJsonObject& object, const char* key);
QDateTime requireDate(const QJsonObject& object, const char* key);
std::optional<QDateTime> optionalDate(const QJsonObject& object, const char* key);
QUuid requireUuid(const QJsonObject& object, const char* key);
QJsonObject requireObject(const QJsonObject& object, const char* key);

// The 36-character hyphenated upper-case text of a UUID.
QString uuidText(const QUuid& id);
// A 36-character hyphenated UUID in either case; anything else gives none.
std::optional<QUuid> parseUuid(const QString& text);

// "yyyy-MM-ddTHH:mm:ssZ" in UTC; a sub-second part is dropped.
QString isoDateText(const QDateTime& date);
// "yyyy-MM-ddTHH:mm:ss" followed by "Z" or a "+hh:mm" / "+hhmm" offset; nothing else.
std::optional<QDateTime> parseIsoDate(const QString& text);
// The date with its sub-second part removed, in UTC.
QDateTime wholeSeconds(const QDateTime& date);

// Parses one JSON object; anything else raises DecodeError.
QJsonObject parseObject(const QByteArray& bytes);
// Compact one-line text of an object.
QByteArray compact(const QJsonObject& object);

} // namespace orvalink::json
