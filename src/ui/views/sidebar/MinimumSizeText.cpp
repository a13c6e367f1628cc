#include "ui/views/sidebar/MinimumSizeText.h"

#include "model/Formatters.h"

#include <QLocale>
#include <cmath>

namespace orvalink::ui {

namespace {

// 2^63 bytes in megabytes: the first size whose byte count no longer fits a qint64.
constexpr double kMegabytesBeyondRange = 8796093022208.0;

} // namespace

QString minSizeText(double megabytes)
{
    if (!std::isfinite(megabytes) || std::fabs(megabytes) >= 9.2e18)
        return {};
    const double whole = std::round(megabytes); // halves away from zero
    if (std::fabs(megabytes - whole) < 1e-6)
        return QString::number(qint64(whole));
    QString text = Formatters::fixedPoint(megabytes, 2);
    while (text.contains(QLatin1Char('.')) &&
           (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.'))))
        text.chop(1);
    return text;
}

std::optional<double> parseMinimumSizeInput(const QString& text)
{
    QString number = text.trimmed();
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    if (!ok || !std::isfinite(value) || value < 0 || value >= kMegabytesBeyondRange)
        return std::nullopt;
    return value;
}

} // namespace orvalink::ui
