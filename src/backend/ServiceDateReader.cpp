#include "backend/ServiceDateReader.h"

#include "model/JsonFields.h"

#include <QRegularExpression>
#include <cmath>

namespace orvalink {

namespace {

constexpr double kLargestSecondsMagnitude = 1e11;

[[noreturn]] void unsupported()
{
    throw json::DecodeError("Unsupported backend date value.");
}

bool isWritable(const QDateTime& date)
{
    if (!date.isValid())
        return false;
    const int year = date.toUTC().date().year();
    return year >= 1 && year <= 9999;
}

std::optional<QDateTime> writableOrNone(const QDateTime& date)
{
    return isWritable(date) ? std::optional<QDateTime>(date.toUTC()) : std::nullopt;
}

int millisecondsOf(const QString& fraction)
{
    // Digits beyond the millisecond are dropped rather than rounded, like a truncating parser.
    return fraction.isEmpty() ? 0 : fraction.left(3).leftJustified(3, QLatin1Char('0')).toInt();
}

} // namespace

ServiceDateReader::ServiceDateReader(QTimeZone localZone) : m_localZone(std::move(localZone)) {}

std::optional<QDateTime> ServiceDateReader::readText(const QString& text) const
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})(?:\\.(\\d{1,9}))?(Z|([+-])("
                       "\\d{2}):(\\d{2}))?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate day(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt(),
                     millisecondsOf(match.captured(7)));
    if (!day.isValid() || !time.isValid())
        return std::nullopt;
    if (match.captured(8).isEmpty())
        return writableOrNone(QDateTime(day, time, m_localZone));
    qint64 offsetSeconds = 0;
    if (match.captured(8) != QLatin1String("Z")) {
        const int hours = match.captured(10).toInt();
        const int minutes = match.captured(11).toInt();
        if (hours > 23 || minutes > 59)
            return std::nullopt;
        offsetSeconds = (hours * 3600 + minutes * 60) * (match.captured(9) == QLatin1String("-") ? -1 : 1);
    }
    return writableOrNone(QDateTime(day, time, QTimeZone::utc()).addSecs(-offsetSeconds));
}

std::optional<QDateTime> ServiceDateReader::read(const QJsonValue& value) const
{
    if (value.isString())
        return readText(value.toString());
    if (!value.isDouble())
        return std::nullopt;
    const double seconds = value.toDouble();
    if (!std::isfinite(seconds) || std::fabs(seconds) > kLargestSecondsMagnitude)
        return std::nullopt;
    return writableOrNone(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(seconds * 1000.0)),
                                                         QTimeZone::utc()));
}

QDateTime ServiceDateReader::require(const QJsonObject& object, const char* key) const
{
    const auto date = read(object.value(QLatin1String(key)));
    if (!date)
        unsupported();
    return *date;
}

std::optional<QDateTime> ServiceDateReader::optional(const QJsonObject& object, const char* key) const
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    return require(object, key);
}

} // namespace orvalink
