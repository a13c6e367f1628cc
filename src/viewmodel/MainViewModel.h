#pragma once

#include "diskops/LinkRepairService.h"
#include "diskops/MigrationEngine.h"
#include "diskops/PathMappingService.h"
#include "diskops/UndoService.h"
#include "model/LocalHistoryScope.h"
#include "viewmodel/BackgroundRunner.h"
#include "viewmodel/Localizer.h"
#include "viewmodel/PlatformHooks.h"
#include "viewmodel/PresentationPrivacy.h"
#include "viewmodel/PublishedState.h"
#include "viewmodel/SmartMigrationRules.h"
#include "viewmodel/SmartMigrationSuggestion.h"
#include "viewmodel/ViewModelParts.h"
#include "viewmodel/WorkflowSettings.h"

#include <QCoro/QCoroTask>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

namespace orvalink {

class AccountWorkflows;
class DirectoryLoader;
class LaunchSequence;
class Navigator;
class PersistedStateReader;
class SettingsActions;
class ShownListing;
class SmartMigrationAdvisor;

// The application state behind the main window and its sheets: the published values of
// PublishedState, the stores and services that fill them, and every action of browsing, settings,
// texts, storage figures, Smart Migration and start-up. Main thread only.
//
// Construction never fails and touches no network: it picks the history scope from the saved
// session, loads and normalizes the settings, lists the volumes, measures storage and loads the
// history. bootstrap() then lists the first directory and restores the account.
//
// The actions are thin: each concern lives in a helper (DirectoryLoader, Navigator,
// SettingsActions, PersistedStateReader, LaunchSequence, ShownListing) that this class owns.
// Actions returning QCoro::Task may be awaited or started and dropped; they never throw.
class MainViewModel : public PublishedState {
    Q_OBJECT

public:
    using LinkRecommendation = orvalink::LinkRecommendation;

    // Every part built on the application-support files (the window's constructor).
    explicit MainViewModel(PlatformHooks platform = {}, QObject* parent = nullptr);
    MainViewModel(ViewModelParts parts, PlatformHooks platform, QObject* parent = nullptr);
    ~MainViewModel() override;

    // The parts, for the workflows built on this object.
    ViewModelParts& parts() { return m_parts; }
    const PathMappingService& pathMappingService() const { return m_pathMappingService; }
    const MigrationEngine& migrationEngine() const { return *m_migrationEngine; }
    const UndoService& undoService() const { return *m_undoService; }
    const LinkRepairService& linkRepairService() const { return *m_linkRepairService; }
    BackgroundRunner& background() { return *m_background; }
    const PlatformHooks& platform() const { return m_platform; }
    const LocalHistoryScope& localHistoryScope() const { return m_localHistoryScope; }
    quint64 latestScanRequestID() const;
    const QStringList& backHistory() const;
    const QStringList& forwardHistory() const;

    // Target roots, from `config` at every read.
    bool hasManagedTargetRoot() const;
    bool isUnifiedTargetLocked() const;
    QString effectiveTargetRoot() const;

    // Persisted state and storage.
    void reloadPersistedState();
    void refreshStorageUsageSnapshot();

    // Start-up and the account state at launch.
    QCoro::Task<> bootstrap();
    QCoro::Task<> synchronizeBackendStateOnLaunch();
    // Switches both history stores to the account of `email` (trimmed, lower-cased; none or blank
    // is the guest); a change resets the account's sync values and reloads the persisted state.
    void activateLocalHistoryScope(const std::optional<QString>& email);
    // True when `error` means the session is no longer accepted; the saved session is then cleared,
    // the guest history is in use and the user is asked to sign in again.
    bool handleAuthenticationLossIfNeeded(const std::exception_ptr& error);

    // The account and its cloud backup (AccountWorkflows). Each flow ignores a start while its busy
    // flag is set, reports through the published texts and never throws.
    AccountWorkflows& accountWorkflows();
    QCoro::Task<> signIn(QString email, QString password, std::optional<QString> captchaId,
                         std::optional<QString> captchaCode);
    QCoro::Task<> registerAndSignIn(QString email, QString password, QString nickName,
                                    std::optional<QString> captchaId, std::optional<QString> captchaCode);
    QCoro::Task<> signOutFromBackend();
    QCoro::Task<> changeBackendPassword(QString currentPassword, QString newPassword);
    QCoro::Task<> refreshAuthRequirements(bool userInitiated);
    QCoro::Task<> refreshAuthCaptcha(bool userInitiated);
    QCoro::Task<> refreshFeedbackDashboard(bool userInitiated);
    QCoro::Task<> submitFeedback(FeedbackCategory category, QString subject, QString content);
    QCoro::Task<> restoreMigrationSnapshotFromCloudIfNeeded(bool userInitiated);
    QCoro::Task<> syncMigrationSnapshot(bool userInitiated);
    QCoro::Task<> refreshMigrationOverview(bool userInitiated);

    // Account texts, computed at every read.
    std::optional<BackendMigrationDeviceOverview> currentMigrationOverviewDevice() const;
    QList<BackendMigrationDeviceOverview> otherMigrationOverviewDevices() const;
    QString maskedDeviceFingerprint(const QString& fingerprint) const;
    QString backendAccountSummary() const;
    std::optional<QString> backendAccountBadgeText() const;
    QString migrationSyncScopeSummary() const;
    QString migrationSyncSnapshotSummary() const;
    QString migrationOverviewSummary() const;
    std::optional<QString> migrationSyncTimestampSummary() const;
    std::optional<QString> migrationOverviewTimestampSummary() const;

    // Directory loading; the request number makes sure only the newest result is shown.
    QCoro::Task<> loadCurrentDirectoryForNavigation(bool forceLiveRefresh);
    QCoro::Task<> scanCurrentDirectory();

    // Navigation, focus and selection.
    void goBack();
    void goForward();
    void goToParentDirectory();
    void goToDirectoryContext(const QString& path);
    void goToSystemApplicationsDirectory();
    void enterPathFromInput();
    void focusNextEntry();
    void focusPreviousEntry();
    void openFocusedEntry();
    void setSelection(const DirectoryEntry& entry, bool selected);
    QStringList breadcrumbPaths() const;
    QList<LinkMapping> selectedUndoMappings() const;
    QList<LinkMapping> selectedMigratedMappings() const;
    bool isBackendBusy() const;
    void updateVisibilityFilter(VisibilityFilter filter);

    // The listing as shown: filtered, searched and sorted with Smart Migration candidates first.
    // Kept between reads; sortedEntriesChanged() announces a new one.
    const QList<DirectoryEntry>& sortedEntries();
    // Positions in entries() of the shown entries, in shown order (what a list model reads).
    const std::vector<int>& sortedEntryIndices();
    QString sortTitle(SortOption option) const;
    QString fileTypeTitle(FileTypeFilter filter) const;

    // Settings; each saves at once.
    void saveConfig();
    QCoro::Task<> selectScanRoot();
    QCoro::Task<> selectTargetRoot();
    void setTargetRoot(const QString& path);
    void updateMinimumSizeMB(double megabytes);
    void updateShowHiddenFiles(bool enabled);
    void setPresentationPrivacyEnabled(bool enabled);
    void updateRealtimeRefreshEnabled(bool enabled);
    void setStrictModeEnabled(bool enabled);
    void updateSmartMigrationEnabled(bool enabled);
    void updateSmartMigrationProfile(SmartMigrationProfile profile);
    void setLanguage(UILanguage language);
    void setUnifiedManagementEnabled(bool enabled);
    void resetManagedTargetRoot();
    QString managedTargetRootDisplayText() const;

    // Storage and progress figures, computed at every read.
    QList<VolumeInfo> externalVolumes() const;
    QString targetVolumeStatus() const;
    double systemVolumeUsageRatio() const;
    double targetVolumeUsageRatio() const;
    double selectedInDirectoryRatio() const;
    double migrationItemProgressRatio() const;
    double migrationByteProgressRatio() const;
    QString migrationItemProgressPercentText() const;
    QString migrationByteProgressPercentText() const;
    QString migrationProgressCountText() const;
    QString migrationProgressBytesText() const;
    QString migrationCurrentItemName() const;
    bool shouldShowMigrationProgress() const;

    // Texts in the chosen language, and what presentation privacy shows.
    Localizer localizer() const;
    PresentationPrivacy presentationPrivacy() const;
    QString localized(const QString& zh, const QString& en) const;
    QString displayPath(const QString& path) const;
    QString displayName(const QString& path) const;
    QString displayVolumeName(const VolumeInfo& volume, int index) const;
    QString formatDate(const QDateTime& date) const;
    std::optional<QString> currentDirectoryContainersNoticeText() const;
    QString displayEmail(const QString& email) const;
    QString sanitizedForPresentation(const QString& text) const;
    void copyPathToPasteboard(const QString& path);
    void revealInFinder(const QString& path);

    // Smart Migration.
    SmartMigrationCriteria smartMigrationCriteria() const;
    QStringList existingWeChatContainerRoots() const;
    bool isWeChatProtectedSelection(const QString& path) const;
    bool isWeChatSuggestedDirectory(const QString& path, const QString& name) const;
    bool isGenericSuggestedDirectory(const DirectoryEntry& entry) const;
    QString weChatSuggestionNote(const DirectoryEntry& entry) const;
    std::optional<QString> weChatSmartMigrationValidationMessage(const QStringList& selectedPaths) const;
    QSet<QString> smartMigrationSuggestedPathSet(const QString& currentDirectoryPath,
                                                 const QList<DirectoryEntry>& entries) const;
    QList<SmartMigrationSuggestion> buildWeChatSmartMigrationSuggestions() const;
    QList<SmartMigrationSuggestion> buildGenericSmartMigrationSuggestions() const;
    QList<SmartMigrationSuggestion> smartMigrationSuggestions() const;
    QString smartMigrationSummary() const;
    std::optional<QString> smartMigrationHintText(const DirectoryEntry& entry);
    std::optional<LinkRecommendation> recommendationKind(const DirectoryEntry& entry) const;

    // Migration, undo and repair workflows (MainViewModelWorkflows.cpp). Each is started from the
    // window without awaiting, ignores a start while another disk workflow runs, and never throws.
    WorkflowSettings& workflowSettings() { return m_workflowSettings; }
    const WorkflowSettings& workflowSettings() const { return m_workflowSettings; }
    // Where the next batch of the whole-history link repair starts.
    qsizetype repairPosition() const { return m_repairPosition; }
    void setRepairPosition(qsizetype position) { m_repairPosition = position; }
    void updateSelectedSize(const QList<DirectoryEntry>& entries);
    QCoro::Task<> migrateSelectedItems();
    QString localizedMigrationFailureMessage(const QString& text) const;
    QCoro::Task<> retryFailedMigration(FailedMigrationRecord record, std::optional<ForcedMigrationMode> forceMode,
                                       bool terminateProcesses);
    void presentMigrationConflictPrompt(const FailedMigrationRecord& record);
    QCoro::Task<> undoLastMigration();
    QCoro::Task<> undoSelectedMigration();
    QCoro::Task<> forceUndoMigration(LinkMapping mapping, ForcedUndoRestoreMode mode);
    QCoro::Task<> repairBrokenLinks();
    QCoro::Task<> repairMigratedLinks(QSet<QUuid> mappingIDs);
    void toggleUndoMappingSelection(const QUuid& id);
    void toggleMigratedMappingSelection(const QUuid& id);
    void selectAllUndoMappings();
    void selectAllMigratedMappings();
    QCoro::Task<> requestAdministratorAuthorization();

Q_SIGNALS:
    void sortedEntriesChanged();

private:
    friend class AccountSession;
    friend class LaunchSequence;

    void chooseLaunchScope();
    void setHistoryScope(const LocalHistoryScope& scope);
    void loadConfiguration();
    void buildDiskServices();
    SmartMigrationAdvisor advisor() const;

    ViewModelParts m_parts;
    PlatformHooks m_platform;
    PathMappingService m_pathMappingService;
    // The disk services built from the parts; they outlive m_background, which waits for the work
    // that uses them.
    std::unique_ptr<MigrationEngine> m_migrationEngine;
    std::unique_ptr<UndoService> m_undoService;
    std::unique_ptr<LinkRepairService> m_linkRepairService;
    LocalHistoryScope m_localHistoryScope = LocalHistoryScope::guest();
    // Destroyed after the helpers (the loader cancels its walks) and before the parts it may
    // still be working with: waits for work still running.
    std::unique_ptr<BackgroundRunner> m_background;
    std::unique_ptr<ShownListing> m_listing;
    std::unique_ptr<PersistedStateReader> m_persisted;
    std::unique_ptr<DirectoryLoader> m_loader;
    std::unique_ptr<Navigator> m_navigator;
    std::unique_ptr<SettingsActions> m_settings;
    // Before the launch sequence, which awaits its flows, so that it goes first.
    std::unique_ptr<AccountWorkflows> m_account;
    std::unique_ptr<LaunchSequence> m_launch;
    WorkflowSettings m_workflowSettings;
    qsizetype m_repairPosition = 0;
};

} // namespace orvalink
