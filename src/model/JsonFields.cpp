#include "model/JsonFields.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QRegularExpression>

namespace orvalink::json {

namespace {

[[noreturn]] void fail(const char* key, const char* problem)
{
    throw DecodeError(std::string(problem) + " for key \"" + key + "\"");
}

QJsonValue present(const QJsonObject& object, const char* key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        fail(key, "missing value");
    return value;
}

bool absent(const QJsonObject& object, const char* key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isUndefined() || value.isNull();
}

} // namespace

QString requireString(const QJsonObject& object, const char* key)
{
    const QJsonValue value = present(object, key);
    if (!value.isString())
        fail(key, "expected a string");
    return value.toString();
}

std::optional<QString> optionalString(const QJsonObject& object, const char* key)
{
    if (absent(object, key))
        return std::nullopt;
    return requireString(object, key);
}

qint64 requireInt64(const QJsonObject& object, const char* key)
{
    const QJsonValue value = present(object, key);
    if (!value.isDouble())
        fail(key, "expected an integer");
    // toInteger() falls back to its argument when the number is no whole qint64; two different
    // fallbacks tell that case apart from a stored value that happens to equal one of them.
    const qint64 first = value.toInteger(0);
    if (first != value.toInteger(1))
        fail(key, "expected an integer");
    return first;
}

std::optional<qint64> optionalInt64(const QJsonObject& object, const char* key)
{
    if (absent(object, key))
        return std::nullopt;
    return requireInt64(object, key);
}

bool requireBool(const QJsonObject& object, const char* key)
{
    const QJsonValue value = present(object, key);
    if (!value.isBool())
        fail(key, "expected a boolean");
    return value.toBool();
}

std::optional<bool> optionalBool(const QJsonObject& object, const char* key)
{
    if (absent(object, key))
        return std::nullopt;
    return requireBool(object, key);
}

QDateTime requireDate(const QJsonObject& object, const char* key)
{
    const auto date = parseIsoDate(requireString(object, key));
    if (!date)
        fail(key, "expected an ISO 8601 date");
    return *date;
}

std::optional<QDateTime> optionalDate(const QJsonObject& object, const char* key)
{
    if (absent(object, key))
        return std::nullopt;
    return requireDate(object, key);
}

QUuid requireUuid(const QJsonObject& object, const char* key)
{
    const auto id = parseUuid(requireString(object, key));
    if (!id)
        fail(key, "expected a UUID");
    return *id;
}

QJsonObject requireObject(const QJsonObject& object, const char* key)
{
    const QJsonValue value = present(object, key);
    if (!value.isObject())
        fail(key, "expected an object");
    return value.toObject();
}

QString uuidText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> parseUuid(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    return QUuid::fromString(text);
}

QDateTime wholeSeconds(const QDateTime& date)
{
    return QDateTime::fromSecsSinceEpoch(date.toSecsSinceEpoch(), Qt::UTC);
}

QString isoDateText(const QDateTime& date)
{
    return wholeSeconds(date).toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

std::optional<QDateTime> parseIsoDate(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})(?:(Z)|([+-])(\\d{2}):?(\\d{2}))$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate day(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
    if (!day.isValid() || !time.isValid())
        return std::nullopt;
    qint64 seconds = QDateTime(day, time, Qt::UTC).toSecsSinceEpoch();
    if (match.captured(7).isEmpty()) {
        const int hours = match.captured(9).toInt();
        const int minutes = match.captured(10).toInt();
        if (hours > 23 || minutes > 59)
            return std::nullopt;
        const qint64 offset = hours * 3600 + minutes * 60;
        seconds += match.captured(8) == QLatin1String("+") ? -offset : offset;
    }
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

QJsonObject parseObject(const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw DecodeError("malformed JSON: " + error.errorString().toStdString());
    if (!document.isObject())
        throw DecodeError("expected a JSON object");
    return document.object();
}

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace orvalink::json
