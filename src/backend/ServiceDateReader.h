#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QTimeZone>
#include <optional>

namespace orvalink {

// The one rule by which every date of a service reply is read. Accepted:
// - internet date-time with a zone designator (Z or +hh:mm), with or without a fraction of a second;
// - the same without a designator, read in the local time zone given at construction;
// - a JSON number: seconds since 1970-01-01T00:00:00Z (never milliseconds).
// A string of digits is not a number. A date that could not be written back as a four-digit-year
// ISO text (before year 1, after year 9999, or a number beyond +-1e11 seconds) is refused, so a
// reply can never plant an unreadable date in a local file.
class ServiceDateReader {
public:
    explicit ServiceDateReader(QTimeZone localZone = QTimeZone::systemTimeZone());

    const QTimeZone& localZone() const { return m_localZone; }

    // None when the value is in no accepted form.
    std::optional<QDateTime> read(const QJsonValue& value) const;

    // Both throw json::DecodeError("Unsupported backend date value.") for a value in no accepted
    // form; `require` also for a missing or null value, `optional` gives none for those.
    QDateTime require(const QJsonObject& object, const char* key) const;
    std::optional<QDateTime> optional(const QJsonObject& object, const char* key) const;

private:
    std::optional<QDateTime> readText(const QString& text) const;

    QTimeZone m_localZone;
};

} // namespace orvalink
