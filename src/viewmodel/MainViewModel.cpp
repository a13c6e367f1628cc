#include "viewmodel/MainViewModel.h"

#include "model/AppPaths.h"
#include "viewmodel/AccountWorkflows.h"
#include "viewmodel/DirectoryLoader.h"
#include "viewmodel/LaunchSequence.h"
#include "viewmodel/Navigator.h"
#include "viewmodel/PersistedStateReader.h"
#include "viewmodel/SettingsActions.h"
#include "viewmodel/ShownListing.h"
#include "viewmodel/TargetRootNormalization.h"

#include <cmath>

namespace orvalink {

MainViewModel::MainViewModel(PlatformHooks platform, QObject* parent)
    : MainViewModel(ViewModelParts::standard(), std::move(platform), parent)
{}

MainViewModel::MainViewModel(ViewModelParts parts, PlatformHooks platform, QObject* parent)
    : PublishedState(parent), m_parts(std::move(parts)), m_platform(std::move(platform)),
      m_pathMappingService(PathMappingService::systemProtectedPaths()),
      m_background(std::make_unique<BackgroundRunner>())
{
    m_listing = std::make_unique<ShownListing>(*this);
    m_persisted = std::make_unique<PersistedStateReader>(*this);
    m_loader = std::make_unique<DirectoryLoader>(*this);
    m_navigator = std::make_unique<Navigator>(*this, *m_loader, m_platform.applicationsDirectories);
    m_settings = std::make_unique<SettingsActions>(*this, *m_loader, *m_navigator);
    m_account = std::make_unique<AccountWorkflows>(*this);
    m_launch = std::make_unique<LaunchSequence>(*this);

    chooseLaunchScope();
    loadConfiguration();
    buildDiskServices();
    setAvailableVolumes(m_parts.volumeService->listVolumes());
    refreshStorageUsageSnapshot();
    reloadPersistedState();
}

MainViewModel::~MainViewModel() = default;

void MainViewModel::buildDiskServices()
{
    const ViewModelParts& p = m_parts;
    m_migrationEngine = std::make_unique<MigrationEngine>(
        MigrationEngine::Services{*p.scanService, m_pathMappingService, *p.volumeService, *p.activeProcessService,
                                  *p.mappingStore, *p.taskStore, *p.logService, *p.privilegedFileOperations});
    m_undoService = std::make_unique<UndoService>(*p.mappingStore, *p.taskStore, *p.logService,
                                                  *p.privilegedFileOperations, m_pathMappingService);
    m_linkRepairService =
        std::make_unique<LinkRepairService>(*p.mappingStore, *p.volumeService, *p.logService, m_pathMappingService);
}

void MainViewModel::chooseLaunchScope()
{
    // The session is only read here, not published: the launch synchronization does that. An
    // unreadable or missing file (or no application directory) is the guest, and stays untouched.
    const std::optional<BackendSession> saved = m_parts.backendAuthService->sessionStore().load();
    setHistoryScope(historyScopeForEmail(saved ? std::optional<QString>(saved->email) : std::nullopt));
}

void MainViewModel::setHistoryScope(const LocalHistoryScope& scope)
{
    m_localHistoryScope = scope;
    m_repairPosition = 0;
    m_parts.taskStore->setScope(scope);
    m_parts.mappingStore->setScope(scope);
}

void MainViewModel::loadConfiguration()
{
    const AppConfig loaded = m_parts.configStore->load();
    const AppConfig normalized = normalizedTargetConfig(loaded);
    setConfig(normalized);
    setCurrentDirectoryPath(normalized.defaultScanRoot);
    setPathInput(normalized.defaultScanRoot);
    setMinSizeMB(std::ldexp(static_cast<double>(normalized.minLargeSizeBytes), -20));
    setShowHiddenFiles(normalized.showHiddenFiles);
    setRealtimeRefreshEnabled(normalized.realtimeRefreshEnabled);
    setSmartMigrationEnabled(normalized.smartMigrationEnabled);
    setSmartMigrationProfile(normalized.smartMigrationProfile);
    m_parts.scanService->setConcurrency(effectiveScanConcurrency(normalized));

    const bool targetsChanged =
        loaded.defaultTargetRoot != normalized.defaultTargetRoot ||
        loaded.managedTargetRoot != normalized.managedTargetRoot ||
        loaded.unifiedTargetManagementEnabled != normalized.unifiedTargetManagementEnabled ||
        loaded.backendBaseURL != normalized.backendBaseURL;
    if (!targetsChanged)
        return;
    try {
        m_parts.configStore->save(normalized);
    } catch (const std::exception&) {
        // The normalized settings are in force either way; the next save writes them.
    }
}

quint64 MainViewModel::latestScanRequestID() const
{
    return m_loader->latestScanRequestID();
}

const QStringList& MainViewModel::backHistory() const
{
    return m_navigator->backHistory();
}

const QStringList& MainViewModel::forwardHistory() const
{
    return m_navigator->forwardHistory();
}

bool MainViewModel::hasManagedTargetRoot() const
{
    return orvalink::hasManagedTargetRoot(config());
}

bool MainViewModel::isUnifiedTargetLocked() const
{
    return orvalink::isUnifiedTargetLocked(config());
}

QString MainViewModel::effectiveTargetRoot() const
{
    return orvalink::effectiveTargetRoot(config());
}

// Persisted state, start-up and loading.

void MainViewModel::reloadPersistedState()
{
    m_repairPosition = 0;
    m_persisted->reloadPersistedState();
}

void MainViewModel::refreshStorageUsageSnapshot()
{
    m_persisted->refreshStorageUsageSnapshot();
}

QCoro::Task<> MainViewModel::bootstrap()
{
    return m_launch->bootstrap();
}

QCoro::Task<> MainViewModel::synchronizeBackendStateOnLaunch()
{
    return m_launch->synchronizeBackendStateOnLaunch();
}

QCoro::Task<> MainViewModel::loadCurrentDirectoryForNavigation(bool forceLiveRefresh)
{
    return m_loader->loadCurrentDirectoryForNavigation(forceLiveRefresh);
}

QCoro::Task<> MainViewModel::scanCurrentDirectory()
{
    return m_loader->scanCurrentDirectory();
}

// Navigation.

void MainViewModel::goBack()
{
    m_navigator->goBack();
}

void MainViewModel::goForward()
{
    m_navigator->goForward();
}

void MainViewModel::goToParentDirectory()
{
    m_navigator->goToParentDirectory();
}

void MainViewModel::goToDirectoryContext(const QString& path)
{
    m_navigator->goToDirectoryContext(path);
}

void MainViewModel::goToSystemApplicationsDirectory()
{
    m_navigator->goToSystemApplicationsDirectory();
}

void MainViewModel::enterPathFromInput()
{
    m_navigator->enterPathFromInput();
}

void MainViewModel::focusNextEntry()
{
    m_navigator->focusNextEntry();
}

void MainViewModel::focusPreviousEntry()
{
    m_navigator->focusPreviousEntry();
}

void MainViewModel::openFocusedEntry()
{
    m_navigator->openFocusedEntry();
}

void MainViewModel::setSelection(const DirectoryEntry& entry, bool selected)
{
    m_navigator->setSelection(entry, selected);
}

QStringList MainViewModel::breadcrumbPaths() const
{
    return m_navigator->breadcrumbPaths();
}

namespace {

QList<LinkMapping> selectedOf(const QList<LinkMapping>& mappings, const QSet<QUuid>& ids)
{
    QList<LinkMapping> selected;
    for (const LinkMapping& mapping : mappings) {
        if (ids.contains(mapping.id))
            selected.append(mapping);
    }
    return selected;
}

} // namespace

QList<LinkMapping> MainViewModel::selectedUndoMappings() const
{
    return selectedOf(undoHistory(), selectedUndoMappingIDs());
}

QList<LinkMapping> MainViewModel::selectedMigratedMappings() const
{
    return selectedOf(migratedMappings(), selectedMigratedMappingIDs());
}

bool MainViewModel::isBackendBusy() const
{
    return isSubmittingAuth() || isRefreshingAuthRequirements() || isRefreshingAuthCaptcha() ||
           isSyncingMigrationSnapshot() || isRefreshingMigrationOverview() ||
           isRefreshingFeedbackDashboard() || isSubmittingFeedback();
}

void MainViewModel::updateVisibilityFilter(VisibilityFilter filter)
{
    if (filter == visibilityFilter())
        return;
    setVisibilityFilter(filter);
    // Hidden entries must be listed at all before the filter can show them.
    if (filter == VisibilityFilter::hiddenOnly && !showHiddenFiles())
        updateShowHiddenFiles(true);
}

const QList<DirectoryEntry>& MainViewModel::sortedEntries()
{
    return m_listing->sortedEntries();
}

const std::vector<int>& MainViewModel::sortedEntryIndices()
{
    return m_listing->sortedIndices();
}

// Settings.

void MainViewModel::saveConfig()
{
    m_settings->saveConfig();
}

QCoro::Task<> MainViewModel::selectScanRoot()
{
    return m_settings->selectScanRoot();
}

QCoro::Task<> MainViewModel::selectTargetRoot()
{
    return m_settings->selectTargetRoot();
}

void MainViewModel::setTargetRoot(const QString& path)
{
    m_settings->setTargetRoot(path);
}

void MainViewModel::updateMinimumSizeMB(double megabytes)
{
    m_settings->updateMinimumSizeMB(megabytes);
}

void MainViewModel::updateShowHiddenFiles(bool enabled)
{
    m_settings->updateShowHiddenFiles(enabled);
}

void MainViewModel::setPresentationPrivacyEnabled(bool enabled)
{
    m_settings->setPresentationPrivacyEnabled(enabled);
}

void MainViewModel::updateRealtimeRefreshEnabled(bool enabled)
{
    m_settings->updateRealtimeRefreshEnabled(enabled);
}

void MainViewModel::setStrictModeEnabled(bool enabled)
{
    m_settings->setStrictModeEnabled(enabled);
}

void MainViewModel::updateSmartMigrationEnabled(bool enabled)
{
    m_settings->updateSmartMigrationEnabled(enabled);
}

void MainViewModel::updateSmartMigrationProfile(SmartMigrationProfile profile)
{
    m_settings->updateSmartMigrationProfile(profile);
}

void MainViewModel::setLanguage(UILanguage language)
{
    m_settings->setLanguage(language);
}

void MainViewModel::setUnifiedManagementEnabled(bool enabled)
{
    m_settings->setUnifiedManagementEnabled(enabled);
}

void MainViewModel::resetManagedTargetRoot()
{
    m_settings->resetManagedTargetRoot();
}

QString MainViewModel::managedTargetRootDisplayText() const
{
    return m_settings->managedTargetRootDisplayText();
}

} // namespace orvalink
