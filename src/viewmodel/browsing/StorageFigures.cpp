#include "viewmodel/browsing/StorageFigures.h"

#include "model/Formatters.h"

#include <algorithm>

namespace orvalink {

QList<VolumeInfo> externalVolumes(const QList<VolumeInfo>& volumes)
{
    QList<VolumeInfo> result;
    for (const VolumeInfo& volume : volumes) {
        if (volume.isMounted && (volume.isRemovable || !volume.isInternal))
            result.append(volume);
    }
    return result;
}

double volumeUsageRatio(qint64 totalBytes, qint64 freeBytes)
{
    if (totalBytes < 1)
        return 0.0;
    // In doubles: total − free can leave the 64-bit range for nonsense counts.
    const double used = static_cast<double>(totalBytes) - static_cast<double>(freeBytes);
    return std::clamp(std::max(used, 0.0) / static_cast<double>(totalBytes), 0.0, 1.0);
}

double selectedInDirectoryRatio(qint64 currentDirectorySizeBytes, qint64 selectedSizeBytes)
{
    if (currentDirectorySizeBytes < 1)
        return 0.0;
    return std::clamp(static_cast<double>(selectedSizeBytes) / static_cast<double>(currentDirectorySizeBytes),
                      0.0, 1.0);
}

BilingualText targetVolumeStatus(bool isMounted, qint64 freeBytes)
{
    if (!isMounted)
        return BilingualText("未挂载", "Not mounted");
    const QString free = Formatters::sizeString(freeBytes);
    return BilingualText(QStringLiteral("已挂载，可用空间：") + free,
                         QStringLiteral("Mounted, free: ") + free);
}

} // namespace orvalink
