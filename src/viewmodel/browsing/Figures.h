#pragma once

#include "model/VolumeInfo.h"

#include <QList>
#include <QString>

namespace orvalink {

class ActivityState;
class BrowsingState;
class Presentation;
class VolumeService;

// Storage and progress figures, computed from the published values at every read; keeps nothing.
class Figures {
public:
    Figures(const BrowsingState& browsing, const ActivityState& activity, const Presentation& presentation,
            const VolumeService& volumes);

    // The external volumes listed that are mounted at this moment (Quick Select offers them).
    QList<VolumeInfo> externalVolumes() const;
    QString targetVolumeStatus() const;
    double systemVolumeUsageRatio() const;
    double targetVolumeUsageRatio() const;
    double selectedInDirectoryRatio() const;
    double migrationItemProgressRatio() const;
    double migrationByteProgressRatio() const;
    // See MigrationProgress::overallRatio.
    double migrationOverallProgressRatio() const;
    QString migrationItemProgressPercentText() const;
    QString migrationProgressCountText() const;
    QString migrationProgressBytesText() const;
    QString migrationCurrentItemName() const;
    bool shouldShowMigrationProgress() const;

private:
    const BrowsingState& m_browsing;
    const ActivityState& m_activity;
    const Presentation& m_presentation;
    const VolumeService& m_volumes;
};

} // namespace orvalink
