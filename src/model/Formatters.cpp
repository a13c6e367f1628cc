#include "model/Formatters.h"

#include <array>

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
    // QString::number with 'f' uses the C locale: a period and no grouping.
    return QString::number(value, 'f', decimals) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

} // namespace orvalink::Formatters
