#pragma once

#include "backend/BackendAuthRecords.h"
#include "backend/BackendFeedbackRecords.h"
#include "backend/BackendSession.h"
#include "backend/MigrationSyncRecords.h"
#include "model/AppConfig.h"
#include "model/DirectoryEntry.h"
#include "model/LinkMapping.h"
#include "model/LogEntry.h"
#include "model/MigrationTask.h"
#include "model/VolumeInfo.h"
#include "viewmodel/ListingOptions.h"
#include "viewmodel/WorkflowRecords.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <cmath>
#include <optional>
#include <type_traits>

// One published value: a getter `name()`, a setter that stores the value and emits `nameChanged()`
// only when it differs from the stored one, and the member, initialised with the optional trailing
// arguments (value-initialised without them).
// clang-format off
#define ORVALINK_PUBLISHED(Type, name, setter, ...)                                                     \
public:                                                                                                 \
    const Type& name() const { return m_##name; }                                                       \
    void setter(const Type& value) { publish(m_##name, value, &PublishedState::name##Changed); }        \
                                                                                                        \
private:                                                                                                \
    Type m_##name{__VA_ARGS__};
// clang-format on

namespace orvalink {

// Everything the window and its sheets show, each value with a getter, a setter and a change
// signal. Main thread only. The owner (MainViewModel) and its workflows write through the setters;
// the guide export may overwrite any value the same way.
class PublishedState : public QObject {
    Q_OBJECT

public:
    explicit PublishedState(QObject* parent = nullptr) : QObject(parent) {}

    // Settings and browsing.
    ORVALINK_PUBLISHED(AppConfig, config, setConfig)
    ORVALINK_PUBLISHED(QString, currentDirectoryPath, setCurrentDirectoryPath)
    ORVALINK_PUBLISHED(QList<DirectoryEntry>, entries, setEntries)
    ORVALINK_PUBLISHED(std::optional<QString>, focusedEntryPath, setFocusedEntryPath)
    ORVALINK_PUBLISHED(QSet<QString>, selectedPaths, setSelectedPaths)
    ORVALINK_PUBLISHED(QList<MigrationTask>, tasks, setTasks)
    ORVALINK_PUBLISHED(QList<LogEntry>, logs, setLogs)
    ORVALINK_PUBLISHED(QList<VolumeInfo>, availableVolumes, setAvailableVolumes)
    ORVALINK_PUBLISHED(bool, isBackgroundScanning, setIsBackgroundScanning)
    ORVALINK_PUBLISHED(bool, isScanning, setIsScanning)
    ORVALINK_PUBLISHED(bool, isMigrating, setIsMigrating)
    ORVALINK_PUBLISHED(bool, isUndoing, setIsUndoing)
    ORVALINK_PUBLISHED(bool, isRepairingLinks, setIsRepairingLinks)
    ORVALINK_PUBLISHED(bool, isRequestingAdminAuthorization, setIsRequestingAdminAuthorization)
    ORVALINK_PUBLISHED(bool, showOperationInfo, setShowOperationInfo, true)
    ORVALINK_PUBLISHED(bool, showLinkMode, setShowLinkMode)
    ORVALINK_PUBLISHED(bool, smartMigrationEnabled, setSmartMigrationEnabled)
    ORVALINK_PUBLISHED(SmartMigrationProfile, smartMigrationProfile, setSmartMigrationProfile,
                       SmartMigrationProfile::other)
    ORVALINK_PUBLISHED(SortOption, sortOption, setSortOption, SortOption::sizeDesc)
    ORVALINK_PUBLISHED(FileTypeFilter, fileTypeFilter, setFileTypeFilter, FileTypeFilter::all)
    ORVALINK_PUBLISHED(VisibilityFilter, visibilityFilter, setVisibilityFilter, VisibilityFilter::all)
    ORVALINK_PUBLISHED(QString, searchQuery, setSearchQuery)
    ORVALINK_PUBLISHED(double, minSizeMB, setMinSizeMB)
    ORVALINK_PUBLISHED(QString, pathInput, setPathInput)
    ORVALINK_PUBLISHED(bool, showAllFiles, setShowAllFiles)
    ORVALINK_PUBLISHED(bool, showHiddenFiles, setShowHiddenFiles)
    ORVALINK_PUBLISHED(bool, realtimeRefreshEnabled, setRealtimeRefreshEnabled)

    // Sizes and the progress of a running batch.
    ORVALINK_PUBLISHED(qint64, currentDirectorySizeBytes, setCurrentDirectorySizeBytes)
    ORVALINK_PUBLISHED(qint64, selectedSizeBytes, setSelectedSizeBytes)
    ORVALINK_PUBLISHED(qint64, systemVolumeTotalBytes, setSystemVolumeTotalBytes)
    ORVALINK_PUBLISHED(qint64, systemVolumeFreeBytes, setSystemVolumeFreeBytes)
    ORVALINK_PUBLISHED(qint64, targetVolumeTotalBytes, setTargetVolumeTotalBytes)
    ORVALINK_PUBLISHED(qint64, targetVolumeFreeBytes, setTargetVolumeFreeBytes)
    ORVALINK_PUBLISHED(qint64, migrationTotalItems, setMigrationTotalItems)
    ORVALINK_PUBLISHED(qint64, migrationProcessedItems, setMigrationProcessedItems)
    ORVALINK_PUBLISHED(qint64, migrationSucceededItems, setMigrationSucceededItems)
    ORVALINK_PUBLISHED(qint64, migrationFailedItems, setMigrationFailedItems)
    ORVALINK_PUBLISHED(qint64, migrationTotalBytes, setMigrationTotalBytes)
    ORVALINK_PUBLISHED(qint64, migrationProcessedBytes, setMigrationProcessedBytes)
    ORVALINK_PUBLISHED(std::optional<QString>, migrationCurrentPath, setMigrationCurrentPath)
    ORVALINK_PUBLISHED(QString, currentOperationTitle, setCurrentOperationTitle)

    // History, messages and prompts.
    ORVALINK_PUBLISHED(QList<LinkMapping>, undoHistory, setUndoHistory)
    ORVALINK_PUBLISHED(QList<LinkMapping>, migratedMappings, setMigratedMappings)
    ORVALINK_PUBLISHED(QList<MigrationPathRecord>, recentMigrationPaths, setRecentMigrationPaths)
    ORVALINK_PUBLISHED(QList<FailedMigrationRecord>, recentFailedMigrationPaths,
                       setRecentFailedMigrationPaths)
    ORVALINK_PUBLISHED(QSet<QUuid>, selectedUndoMappingIDs, setSelectedUndoMappingIDs)
    ORVALINK_PUBLISHED(QSet<QUuid>, selectedMigratedMappingIDs, setSelectedMigratedMappingIDs)
    ORVALINK_PUBLISHED(QStringList, lastRestoredPaths, setLastRestoredPaths)
    ORVALINK_PUBLISHED(std::optional<QString>, infoMessage, setInfoMessage)
    ORVALINK_PUBLISHED(std::optional<QString>, errorMessage, setErrorMessage)
    ORVALINK_PUBLISHED(std::optional<AccessRequirementPrompt>, accessRequirementPrompt,
                       setAccessRequirementPrompt)
    ORVALINK_PUBLISHED(std::optional<UndoConflictPrompt>, undoConflictPrompt, setUndoConflictPrompt)
    ORVALINK_PUBLISHED(std::optional<MigrationConflictPrompt>, migrationConflictPrompt,
                       setMigrationConflictPrompt)

    // The account and its cloud backup.
    ORVALINK_PUBLISHED(std::optional<BackendSession>, backendSession, setBackendSession)
    ORVALINK_PUBLISHED(std::optional<BackendAuthSettings>, authSettings, setAuthSettings)
    ORVALINK_PUBLISHED(std::optional<BackendCaptchaChallenge>, authCaptchaChallenge, setAuthCaptchaChallenge)
    ORVALINK_PUBLISHED(bool, isSubmittingAuth, setIsSubmittingAuth)
    ORVALINK_PUBLISHED(bool, isChangingPassword, setIsChangingPassword)
    ORVALINK_PUBLISHED(bool, isRefreshingAuthRequirements, setIsRefreshingAuthRequirements)
    ORVALINK_PUBLISHED(bool, isRefreshingAuthCaptcha, setIsRefreshingAuthCaptcha)
    ORVALINK_PUBLISHED(bool, isSyncingMigrationSnapshot, setIsSyncingMigrationSnapshot)
    ORVALINK_PUBLISHED(std::optional<QString>, backendStatusMessage, setBackendStatusMessage)
    ORVALINK_PUBLISHED(std::optional<QDateTime>, lastMigrationSyncAt, setLastMigrationSyncAt)
    ORVALINK_PUBLISHED(bool, isRefreshingMigrationOverview, setIsRefreshingMigrationOverview)
    ORVALINK_PUBLISHED(std::optional<QString>, currentMigrationDeviceFingerprint,
                       setCurrentMigrationDeviceFingerprint)
    ORVALINK_PUBLISHED(std::optional<BackendMigrationOverview>, migrationAccountOverview,
                       setMigrationAccountOverview)
    ORVALINK_PUBLISHED(std::optional<BackendFeedbackDashboard>, feedbackDashboard, setFeedbackDashboard)
    ORVALINK_PUBLISHED(bool, isRefreshingFeedbackDashboard, setIsRefreshingFeedbackDashboard)
    ORVALINK_PUBLISHED(bool, isSubmittingFeedback, setIsSubmittingFeedback)

public:
Q_SIGNALS:
    void configChanged();
    void currentDirectoryPathChanged();
    void entriesChanged();
    void focusedEntryPathChanged();
    void selectedPathsChanged();
    void tasksChanged();
    void logsChanged();
    void availableVolumesChanged();
    void isBackgroundScanningChanged();
    void isScanningChanged();
    void isMigratingChanged();
    void isUndoingChanged();
    void isRepairingLinksChanged();
    void isRequestingAdminAuthorizationChanged();
    void showOperationInfoChanged();
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
    void migrationTotalItemsChanged();
    void migrationProcessedItemsChanged();
    void migrationSucceededItemsChanged();
    void migrationFailedItemsChanged();
    void migrationTotalBytesChanged();
    void migrationProcessedBytesChanged();
    void migrationCurrentPathChanged();
    void currentOperationTitleChanged();

    void undoHistoryChanged();
    void migratedMappingsChanged();
    void recentMigrationPathsChanged();
    void recentFailedMigrationPathsChanged();
    void selectedUndoMappingIDsChanged();
    void selectedMigratedMappingIDsChanged();
    void lastRestoredPathsChanged();
    void infoMessageChanged();
    void errorMessageChanged();
    void accessRequirementPromptChanged();
    void undoConflictPromptChanged();
    void migrationConflictPromptChanged();

    void backendSessionChanged();
    void authSettingsChanged();
    void authCaptchaChallengeChanged();
    void isSubmittingAuthChanged();
    void isChangingPasswordChanged();
    void isRefreshingAuthRequirementsChanged();
    void isRefreshingAuthCaptchaChanged();
    void isSyncingMigrationSnapshotChanged();
    void backendStatusMessageChanged();
    void lastMigrationSyncAtChanged();
    void isRefreshingMigrationOverviewChanged();
    void currentMigrationDeviceFingerprintChanged();
    void migrationAccountOverviewChanged();
    void feedbackDashboardChanged();
    void isRefreshingFeedbackDashboardChanged();
    void isSubmittingFeedbackChanged();

private:
    template <typename T> void publish(T& field, const T& value, void (PublishedState::*changed)())
    {
        if constexpr (std::is_floating_point_v<T>) {
            // NaN never equals itself; storing it again is no change either.
            if (field == value || (std::isnan(field) && std::isnan(value)))
                return;
        } else if (field == value) {
            return;
        }
        field = value;
        Q_EMIT(this->*changed)();
    }
};

} // namespace orvalink

#undef ORVALINK_PUBLISHED
