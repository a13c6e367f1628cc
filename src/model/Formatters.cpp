#include "model/Formatters.h"

#include <array>
#include <clocale>
#include <cstdio>
#include <cstring>

namespace orvalink::Formatters {

QString sizeString(qint64 bytes)
{
    if (bytes <= 1023)
        return QString::number(bytes < 0 ? 0 : bytes) + QStringLiteral(" B");
    static const std::array<const char*, 5> units{"KB", "MB", "GB", "TB", "PB"};
    double value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1024.0 && unit < units.size() - 1) {
        value /= 1024.0;
        ++unit;
    }
    const int decimals = value >= 100.0 ? 0 : (value >= 10.0 ? 1 : 2);
    return fixedPoint(value, decimals) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString fixedPoint(double value, int decimals)
{
    // Qt's own number formatting rounds halves away from zero; the C library's does not.
    char buffer[512];
    const int length = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    if (length < 0 || length >= int(sizeof buffer))
        return QString::number(value, 'f', decimals);
    QString text = QString::fromLatin1(buffer, length);
    // The application runs in the user's locale, whose decimal separator printf uses.
    const char* point = std::localeconv()->decimal_point;
    if (point && std::strcmp(point, ".") != 0)
        text.replace(QString::fromLocal8Bit(point), QStringLiteral("."));
    return text;
}

} // namespace orvalink::Formatters
