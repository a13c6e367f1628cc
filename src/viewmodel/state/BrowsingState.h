#pragma once

#include "model/AppConfig.h"
#include "model/DirectoryEntry.h"
#include "model/VolumeInfo.h"
#include "viewmodel/state/ListingOptions.h"
#include "viewmodel/state/PublishedObject.h"

#include <QList>
#include <QSet>
#include <QString>
#include <optional>

namespace orvalink {

// The settings in force and what the browser shows: the current directory, its listing, focus and
// selection, the list options, the volumes and the storage figures.
class BrowsingState : public PublishedObject {
    Q_OBJECT

public:
    explicit BrowsingState(QObject* parent = nullptr) : PublishedObject(parent) {}

    ORVALINK_PUBLISHED(BrowsingState, AppConfig, config, setConfig)
    ORVALINK_PUBLISHED(BrowsingState, QString, currentDirectoryPath, setCurrentDirectoryPath)
    ORVALINK_PUBLISHED(BrowsingState, QList<DirectoryEntry>, entries, setEntries)
    ORVALINK_PUBLISHED(BrowsingState, std::optional<QString>, focusedEntryPath, setFocusedEntryPath)
    ORVALINK_PUBLISHED(BrowsingState, QSet<QString>, selectedPaths, setSelectedPaths)
    ORVALINK_PUBLISHED(BrowsingState, QList<VolumeInfo>, availableVolumes, setAvailableVolumes)
    ORVALINK_PUBLISHED(BrowsingState, bool, isBackgroundScanning, setIsBackgroundScanning)
    ORVALINK_PUBLISHED(BrowsingState, bool, isScanning, setIsScanning)
    // "I Want Undo" is on: the history panels list the mappings and offer to restore them.
    ORVALINK_PUBLISHED(BrowsingState, bool, undoModeActive, setUndoModeActive, true)
    ORVALINK_PUBLISHED(BrowsingState, bool, showLinkMode, setShowLinkMode)
    ORVALINK_PUBLISHED(BrowsingState, bool, smartMigrationEnabled, setSmartMigrationEnabled)
    ORVALINK_PUBLISHED(BrowsingState, SmartMigrationProfile, smartMigrationProfile, setSmartMigrationProfile,
                       SmartMigrationProfile::other)
    ORVALINK_PUBLISHED(BrowsingState, SortOption, sortOption, setSortOption, SortOption::sizeDesc)
    ORVALINK_PUBLISHED(BrowsingState, FileTypeFilter, fileTypeFilter, setFileTypeFilter, FileTypeFilter::all)
    ORVALINK_PUBLISHED(BrowsingState, VisibilityFilter, visibilityFilter, setVisibilityFilter,
                       VisibilityFilter::all)
    ORVALINK_PUBLISHED(BrowsingState, QString, searchQuery, setSearchQuery)
    ORVALINK_PUBLISHED(BrowsingState, double, minSizeMB, setMinSizeMB)
    ORVALINK_PUBLISHED(BrowsingState, QString, pathInput, setPathInput)
    ORVALINK_PUBLISHED(BrowsingState, bool, showAllFiles, setShowAllFiles)
    ORVALINK_PUBLISHED(BrowsingState, bool, showHiddenFiles, setShowHiddenFiles)
    ORVALINK_PUBLISHED(BrowsingState, bool, realtimeRefreshEnabled, setRealtimeRefreshEnabled)
    ORVALINK_PUBLISHED(BrowsingState, qint64, currentDirectorySizeBytes, setCurrentDirectorySizeBytes)
    ORVALINK_PUBLISHED(BrowsingState, qint64, selectedSizeBytes, setSelectedSizeBytes)
    ORVALINK_PUBLISHED(BrowsingState, qint64, systemVolumeTotalBytes, setSystemVolumeTotalBytes)
    ORVALINK_PUBLISHED(BrowsingState, qint64, systemVolumeFreeBytes, setSystemVolumeFreeBytes)
    ORVALINK_PUBLISHED(BrowsingState, qint64, targetVolumeTotalBytes, setTargetVolumeTotalBytes)
    ORVALINK_PUBLISHED(BrowsingState, qint64, targetVolumeFreeBytes, setTargetVolumeFreeBytes)

public:
Q_SIGNALS:
    void configChanged();
    void currentDirectoryPathChanged();
    void entriesChanged();
    void focusedEntryPathChanged();
    void selectedPathsChanged();
    void availableVolumesChanged();
    void isBackgroundScanningChanged();
    void isScanningChanged();
    void undoModeActiveChanged();
    void showLinkModeChanged();
    void smartMigrationEnabledChanged();
    void smartMigrationProfileChanged();
    void sortOptionChanged();
    void fileTypeFilterChanged();
    void visibilityFilterChanged();
    void searchQueryChanged();
    void minSizeMBChanged();
    void pathInputChanged();
    void showAllFilesChanged();
    void showHiddenFilesChanged();
    void realtimeRefreshEnabledChanged();
    void currentDirectorySizeBytesChanged();
    void selectedSizeBytesChanged();
    void systemVolumeTotalBytesChanged();
    void systemVolumeFreeBytesChanged();
    void targetVolumeTotalBytesChanged();
    void targetVolumeFreeBytesChanged();
};

} // namespace orvalink
