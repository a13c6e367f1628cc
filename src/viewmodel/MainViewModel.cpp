#include "viewmodel/MainViewModel.h"

#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/account/AccountWorkflows.h"
#include "viewmodel/browsing/DirectoryLoader.h"
#include "viewmodel/browsing/Figures.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/browsing/ShownListing.h"
#include "viewmodel/context/TargetRootNormalization.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/disk/DiskWorkflows.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/history/PersistedStateReader.h"
#include "viewmodel/launch/LaunchSequence.h"
#include "viewmodel/settings/SettingsActions.h"
#include "viewmodel/smart/SmartMigration.h"

#include <cmath>

namespace orvalink {

MainViewModel::MainViewModel(PlatformHooks platform, QObject* parent)
    : MainViewModel(ViewModelServices::standard(), std::move(platform), parent)
{}

MainViewModel::MainViewModel(ViewModelServices services, PlatformHooks platform, QObject* parent)
    : QObject(parent),
      m_context(std::make_unique<ViewModelContext>(std::move(services), std::move(platform))),
      m_prompts(m_context->activity())
{
    ViewModelContext& context = *m_context;
    m_figures = std::make_unique<Figures>(context.browsing(), context.activity(), context.presentation(),
                                          *context.services().volumeService);
    m_persisted = std::make_unique<PersistedStateReader>(context);
    m_listing = std::make_unique<ShownListing>(context.browsing());
    m_loader = std::make_unique<DirectoryLoader>(context, *m_persisted);
    m_navigator = std::make_unique<Navigator>(context, *m_loader, *m_listing,
                                              context.platform().applicationsDirectories);
    m_settings = std::make_unique<SettingsActions>(context, *m_loader, *m_navigator, *m_persisted);
    m_smartMigration =
        std::make_unique<SmartMigration>(context.browsing(), context.presentation(), *m_listing);
    m_workflows = std::make_unique<DiskWorkflows>(context, *m_persisted, *m_loader, *m_smartMigration);
    m_account = std::make_unique<AccountWorkflows>(context, *m_persisted);
    m_launch = std::make_unique<LaunchSequence>(context, *m_persisted, *m_loader, *m_account);

    // The session is only read here, not published: the launch synchronization does that. An
    // unreadable or missing file (or no application directory) is the guest, and stays untouched.
    const std::optional<BackendSession> saved = context.services().backendAuthService->sessionStore().load();
    context.setHistoryScope(
        historyScopeForEmail(saved ? std::optional<QString>(saved->email) : std::nullopt));
    loadConfiguration();
    m_persisted->refreshVolumes();
    // The history arrives from the background runner: the window opens without waiting for it.
    startDetached(m_persisted->reloadPersistedState());
}

ViewModelContext& ViewModelInternals::context(MainViewModel& viewModel)
{
    return *viewModel.m_context;
}

MainViewModel::~MainViewModel()
{
    // Every flow stops at its next step and touches nothing of this object; an engine call already
    // running in the background finishes (or rolls back) before anything it uses goes.
    retireFlows();
    m_context->background().waitForDone();
}

const BrowsingState& MainViewModel::browsing() const
{
    return m_context->browsing();
}

const ActivityState& MainViewModel::activity() const
{
    return m_context->activity();
}

const HistoryState& MainViewModel::history() const
{
    return m_context->history();
}

const AccountState& MainViewModel::accountState() const
{
    return m_context->accountState();
}

Presentation& MainViewModel::presentation()
{
    return m_context->presentation();
}

const Figures& MainViewModel::figures() const
{
    return *m_figures;
}

bool MainViewModel::hasRunningDiskWork() const
{
    return m_workflows->hasRunningDiskWork();
}

QString MainViewModel::runningDiskWorkText() const
{
    return m_context->presentation().localized(m_workflows->runningDiskWorkText());
}

void MainViewModel::holdFurtherItems(bool hold)
{
    m_workflows->holdFurtherItems(hold);
}

QCoro::Task<> MainViewModel::prepareToClose()
{
    retireFlows();
    // Only the runner's work is awaited, never this object: the window may destroy it meanwhile.
    auto idle = m_context->background().whenIdle();
    co_await std::move(idle);
}

void MainViewModel::retireFlows()
{
    m_workflows->retire();
    m_persisted->retire();
    m_launch->retire();
    m_account->session().retire();
    m_settings->retire();
    m_loader->retire();
}

void MainViewModel::loadConfiguration()
{
    ViewModelContext& context = *m_context;
    BrowsingState& browsing = context.browsing();
    const AppConfig loaded = context.services().configStore->load();
    const AppConfig normalized = normalizedTargetConfig(loaded);
    browsing.setConfig(normalized);
    browsing.setCurrentDirectoryPath(normalized.defaultScanRoot);
    browsing.setPathInput(normalized.defaultScanRoot);
    browsing.setMinSizeMB(std::ldexp(static_cast<double>(normalized.minLargeSizeBytes), -20));
    browsing.setShowHiddenFiles(normalized.showHiddenFiles);
    browsing.setRealtimeRefreshEnabled(normalized.realtimeRefreshEnabled);
    browsing.setSmartMigrationEnabled(normalized.smartMigrationEnabled);
    browsing.setSmartMigrationProfile(normalized.smartMigrationProfile);
    context.services().scanService->setConcurrency(effectiveScanConcurrency(normalized));

    const bool targetsChanged =
        loaded.defaultTargetRoot != normalized.defaultTargetRoot ||
        loaded.managedTargetRoot != normalized.managedTargetRoot ||
        loaded.unifiedTargetManagementEnabled != normalized.unifiedTargetManagementEnabled ||
        loaded.backendBaseURL != normalized.backendBaseURL;
    if (!targetsChanged)
        return;
    try {
        context.services().configStore->save(normalized);
    } catch (const std::exception&) {
        // The normalized settings are in force either way; the next save writes them.
    }
}

} // namespace orvalink
