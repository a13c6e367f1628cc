#include "ui/views/detail/PercentText.h"

#include <cmath>

namespace orvalink::ui {

double clampedRatio(double ratio)
{
    if (std::isnan(ratio) || ratio < 0)
        return 0;
    return ratio > 1 ? 1 : ratio;
}

QString percentText(double ratio)
{
    // std::round rounds halves away from zero, as the percentages of the window do.
    return QString::number(static_cast<int>(std::round(clampedRatio(ratio) * 100))) + QLatin1Char('%');
}

} // namespace orvalink::ui
