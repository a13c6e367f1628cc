#include "viewmodel/browsing/MigrationProgress.h"

#include "model/Formatters.h"
#include "viewmodel/texts/PathText.h"

#include <algorithm>
#include <cmath>

namespace orvalink {

double MigrationProgress::itemRatio() const
{
    if (totalItems < 1)
        return 0.0;
    return static_cast<double>(processedItems) / static_cast<double>(totalItems);
}

double MigrationProgress::byteRatio() const
{
    if (totalBytes < 1)
        return 0.0;
    return std::clamp(static_cast<double>(processedBytes) / static_cast<double>(totalBytes), 0.0, 1.0);
}

double MigrationProgress::overallRatio() const
{
    const double ratio = totalBytes >= 1 ? byteRatio() : std::clamp(itemRatio(), 0.0, 1.0);
    return processedItems < totalItems ? std::min(ratio, 0.99) : ratio;
}

QString MigrationProgress::itemPercentText() const
{
    return percentText(itemRatio());
}

QString MigrationProgress::bytePercentText() const
{
    return percentText(byteRatio());
}

QString MigrationProgress::countText() const
{
    return QString::number(processedItems) + QLatin1Char('/') + QString::number(totalItems);
}

QString MigrationProgress::bytesText() const
{
    return Formatters::sizeString(processedBytes) + QStringLiteral(" / ") +
           Formatters::sizeString(totalBytes);
}

BilingualText MigrationProgress::currentItemName() const
{
    if (currentPath && !currentPath->isEmpty())
        return BilingualText::same(lastPathComponent(*currentPath));
    return BilingualText("等待中", "Waiting");
}

bool MigrationProgress::shouldShow() const
{
    return isMigrating || isUndoing || totalItems > 0;
}

QString percentText(double ratio)
{
    // std::round rounds halves away from zero; formatting the double keeps ratios far above 1
    // (more processed items than planned) clear of integer overflow. Adding 0.0 turns -0 into 0.
    const double percent = std::round(ratio * 100.0) + 0.0;
    return QString::number(percent, 'f', 0) + QLatin1Char('%');
}

} // namespace orvalink
