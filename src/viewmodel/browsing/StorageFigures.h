#pragma once

#include "model/VolumeInfo.h"
#include "viewmodel/state/BilingualText.h"

#include <QList>
#include <QString>

namespace orvalink {

// The volumes that can serve as targets: every mounted volume listed except an internal,
// non-removable one, in list order. The folder an unplugged disk leaves behind is none.
QList<VolumeInfo> externalVolumes(const QList<VolumeInfo>& volumes);

// How full a volume is, from 0 to 1: (total − free) / total, 0 for a total below 1, clamped. A
// free count above the total gives 0.
double volumeUsageRatio(qint64 totalBytes, qint64 freeBytes);

// The share of the current folder's size that is selected, from 0 to 1; 0 while the folder's size
// is unknown (below 1).
double selectedInDirectoryRatio(qint64 currentDirectorySizeBytes, qint64 selectedSizeBytes);

// The target volume line: mounted with its free space, or not mounted. The owner finds out whether
// the mount point of the effective target root is a mounted directory and how much is free there.
BilingualText targetVolumeStatus(bool isMounted, qint64 freeBytes);

} // namespace orvalink
