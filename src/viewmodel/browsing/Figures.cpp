#include "viewmodel/browsing/Figures.h"

#include "diskops/VolumeService.h"
#include "platform/MountTable.h"
#include "viewmodel/browsing/MigrationProgress.h"
#include "viewmodel/browsing/StorageFigures.h"
#include "viewmodel/context/TargetRootNormalization.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/BrowsingState.h"
#include "viewmodel/texts/Presentation.h"

namespace orvalink {

namespace {

MigrationProgress progressOf(const ActivityState& activity)
{
    return MigrationProgress{activity.migrationTotalItems(),
                             activity.migrationProcessedItems(),
                             activity.migrationTotalBytes(),
                             activity.migrationProcessedBytes(),
                             activity.migrationCurrentPath(),
                             activity.isMigrating(),
                             activity.isUndoing()};
}

} // namespace

Figures::Figures(const BrowsingState& browsing, const ActivityState& activity,
                 const Presentation& presentation, const VolumeService& volumes)
    : m_browsing(browsing), m_activity(activity), m_presentation(presentation), m_volumes(volumes)
{}

QList<VolumeInfo> Figures::externalVolumes() const
{
    // The listing may be older than an unplug: only a volume still mounted now is offered.
    const platform::MountTable mounts = platform::MountTable::current();
    QList<VolumeInfo> volumes = orvalink::externalVolumes(m_browsing.availableVolumes());
    volumes.removeIf([&mounts](const VolumeInfo& volume) { return !mounts.mountedAt(volume.mountPath); });
    return volumes;
}

QString Figures::targetVolumeStatus() const
{
    // Mounted means a file system is really mounted at the mount point, not merely that a folder
    // of that name exists.
    const QString root = orvalink::effectiveTargetRoot(m_browsing.config());
    const auto mountPoint = m_volumes.mountPoint(root);
    const bool mounted = mountPoint && platform::MountTable::current().mountedAt(*mountPoint).has_value();
    return m_presentation.localized(orvalink::targetVolumeStatus(mounted, m_volumes.availableBytes(root)));
}

double Figures::systemVolumeUsageRatio() const
{
    return volumeUsageRatio(m_browsing.systemVolumeTotalBytes(), m_browsing.systemVolumeFreeBytes());
}

double Figures::targetVolumeUsageRatio() const
{
    return volumeUsageRatio(m_browsing.targetVolumeTotalBytes(), m_browsing.targetVolumeFreeBytes());
}

double Figures::selectedInDirectoryRatio() const
{
    return orvalink::selectedInDirectoryRatio(m_browsing.currentDirectorySizeBytes(),
                                              m_browsing.selectedSizeBytes());
}

double Figures::migrationItemProgressRatio() const
{
    return progressOf(m_activity).itemRatio();
}

double Figures::migrationByteProgressRatio() const
{
    return progressOf(m_activity).byteRatio();
}

double Figures::migrationOverallProgressRatio() const
{
    return progressOf(m_activity).overallRatio();
}

QString Figures::migrationItemProgressPercentText() const
{
    return progressOf(m_activity).itemPercentText();
}

QString Figures::migrationProgressCountText() const
{
    return progressOf(m_activity).countText();
}

QString Figures::migrationProgressBytesText() const
{
    return progressOf(m_activity).bytesText();
}

QString Figures::migrationCurrentItemName() const
{
    return m_presentation.localized(progressOf(m_activity).currentItemName());
}

bool Figures::shouldShowMigrationProgress() const
{
    return progressOf(m_activity).shouldShow();
}

} // namespace orvalink
