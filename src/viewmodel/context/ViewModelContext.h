#pragma once

#include "diskops/PathMappingService.h"
#include "model/LocalHistoryScope.h"
#include "viewmodel/context/WorkflowSettings.h"
#include "viewmodel/flow/BackgroundRunner.h"
#include "viewmodel/state/AccountState.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/BrowsingState.h"
#include "viewmodel/state/HistoryState.h"
#include "viewmodel/state/PlatformHooks.h"
#include "viewmodel/state/ViewModelServices.h"
#include "viewmodel/texts/Presentation.h"

#include <memory>

namespace orvalink {

// What the state object's actions share: the published state, the stores and services it is
// built from, the background runner, the path rules, the desktop hooks, the texts and the history
// scope in use. It holds no actions; the actions that act on it are built on top of it, in one
// direction. Main thread only.
//
// Members are declared so that the background runner is destroyed (and waits for running work)
// before the services and path rules that work may still use.
class ViewModelContext {
public:
    ViewModelContext(ViewModelServices services, PlatformHooks platform);
    ~ViewModelContext();
    ViewModelContext(const ViewModelContext&) = delete;
    ViewModelContext& operator=(const ViewModelContext&) = delete;

    BrowsingState& browsing() { return m_browsing; }
    const BrowsingState& browsing() const { return m_browsing; }
    ActivityState& activity() { return m_activity; }
    const ActivityState& activity() const { return m_activity; }
    HistoryState& history() { return m_history; }
    const HistoryState& history() const { return m_history; }
    AccountState& accountState() { return m_accountState; }
    const AccountState& accountState() const { return m_accountState; }

    ViewModelServices& services() { return m_services; }
    const ViewModelServices& services() const { return m_services; }
    const PlatformHooks& platform() const { return m_platform; }
    const PathMappingService& pathMappingService() const { return m_pathMappingService; }
    BackgroundRunner& background() { return *m_background; }
    WorkflowSettings& workflowSettings() { return m_workflowSettings; }
    const WorkflowSettings& workflowSettings() const { return m_workflowSettings; }

    Presentation& presentation() { return m_presentation; }
    const Presentation& presentation() const { return m_presentation; }

    // Target roots, from `config` at every read.
    bool hasManagedTargetRoot() const;
    bool isUnifiedTargetLocked() const;
    QString effectiveTargetRoot() const;

    // The history scope in use; setting it switches both history stores and restarts the
    // whole-history link repair from the beginning.
    const LocalHistoryScope& localHistoryScope() const { return m_localHistoryScope; }
    void setHistoryScope(const LocalHistoryScope& scope);
    // Where the next batch of the whole-history link repair starts; back to 0 whenever the history
    // is reloaded or its scope changes.
    qsizetype repairPosition() const { return m_repairPosition; }
    void setRepairPosition(qsizetype position) { m_repairPosition = position; }

private:
    ViewModelServices m_services;
    PlatformHooks m_platform;
    PathMappingService m_pathMappingService;
    std::unique_ptr<BackgroundRunner> m_background;
    BrowsingState m_browsing;
    ActivityState m_activity;
    HistoryState m_history;
    AccountState m_accountState;
    Presentation m_presentation;
    WorkflowSettings m_workflowSettings;
    LocalHistoryScope m_localHistoryScope = LocalHistoryScope::guest();
    qsizetype m_repairPosition = 0;
};

} // namespace orvalink
