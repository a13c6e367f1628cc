#pragma once

#include "viewmodel/state/AccountState.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/BrowsingState.h"
#include "viewmodel/state/HistoryState.h"
#include "viewmodel/state/PlatformHooks.h"
#include "viewmodel/state/Prompts.h"
#include "viewmodel/state/ViewModelServices.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <memory>

namespace orvalink {

class AccountWorkflows;
class DirectoryLoader;
class DiskWorkflows;
class Figures;
class LaunchSequence;
class Navigator;
class PersistedStateReader;
class Presentation;
class SettingsActions;
class ShownListing;
class SmartMigration;
class ViewModelContext;
class ViewModelInternals;

// The application state behind the main window and its sheets. Main thread only.
//
// It owns the published state, split by concern, and the action objects that act on it. A view
// reads the state through const getters, connects to the change signals and acts only by calling
// the actions:
//   browsing()       BrowsingState: settings in force, current directory, listing, focus, selection,
//                    list options, volumes and storage figures
//   activity()       ActivityState: which disk work runs and its progress, info and error
//                    lines, the prompts waiting for an answer
//   history()        HistoryState: tasks, mappings, log, what the last runs did, panel selections
//   accountState()   AccountState: the session, sign-in requirements, sync, overview, feedback
//
//   navigation()     directories, back and forward, the typed path, focus and selection
//                    (Navigator)
//   settings()       every settings control; each saves at once; the target roots in force
//                    (SettingsActions)
//   listing()        the listing as shown, filtered, searched and sorted, and the list options
//                    (ShownListing)
//   loader()         listing and deep scan of the current directory (DirectoryLoader)
//   persisted()      the history, volumes and storage figures reloaded from disk
//                    (PersistedStateReader)
//   smartMigration() suggestions, hints and recommendations (SmartMigration)
//   presentation()   texts in the chosen language, privacy masks, clipboard, file manager;
//                    textsChanged() when the language or privacy changes what every text reads
//   figures()        storage and progress figures (Figures)
//   workflows()      migration, retry, undo and repair, the history panels' selections and undo
//                    mode (DiskWorkflows)
//   account()        the account flows and their texts (AccountWorkflows)
//   launch()         start-up and the account state at launch (LaunchSequence)
//   prompts()        dismissing the prompts and the error alert once shown (Prompts)
//
// The shared context the actions are built on (the published state's setters, the stores and
// services) is not reachable from here: the guide's demo scenes and tests that set a state up
// directly use ViewModelInternals (viewmodel/ViewModelInternals.h), which no view includes.
//
// Construction never fails and touches no network: it picks the history scope from the saved
// session, loads and normalizes the settings, lists the volumes, measures storage and starts
// reading the history, which is published once read on the background runner
// (persisted().isReloading() until then). launch().bootstrap() then lists the first directory and
// restores the account.
//
// Every flow holds a FlowTicket and stops at its next step once the owner closes or goes away.
// Destroying the object at any time is safe: disk work running in the background is allowed to
// finish (or roll back) first, so the data is whole in one place afterwards.
class MainViewModel : public QObject {
    Q_OBJECT

public:
    // Every service built on the application-support files (the window's constructor).
    explicit MainViewModel(PlatformHooks platform = {}, QObject* parent = nullptr);
    MainViewModel(ViewModelServices services, PlatformHooks platform, QObject* parent = nullptr);
    ~MainViewModel() override;

    const BrowsingState& browsing() const;
    const ActivityState& activity() const;
    const HistoryState& history() const;
    const AccountState& accountState() const;

    Navigator& navigation() { return *m_navigator; }
    SettingsActions& settings() { return *m_settings; }
    ShownListing& listing() { return *m_listing; }
    DirectoryLoader& loader() { return *m_loader; }
    PersistedStateReader& persisted() { return *m_persisted; }
    SmartMigration& smartMigration() { return *m_smartMigration; }
    Presentation& presentation();
    const Figures& figures() const;
    DiskWorkflows& workflows() { return *m_workflows; }
    AccountWorkflows& account() { return *m_account; }
    LaunchSequence& launch() { return *m_launch; }
    Prompts& prompts() { return m_prompts; }

    // Safe close. True while a migration, retry, undo or link repair runs, false again once a held
    // batch waits between two items (activity().isBatchHeld()); the text says which, for the window
    // to ask the user whether to close anyway.
    bool hasRunningDiskWork() const;
    QString runningDiskWorkText() const;
    // While the window asks whether to close anyway: the running item goes on to its end, but no
    // further item of a migration or undo batch starts until the hold is lifted (the user stays) or
    // prepareToClose() (the user closes).
    void holdFurtherItems(bool hold);
    // The window calls this when it is asked to close (and the user agreed, when disk work runs).
    // No further batch item starts; the running one finishes or rolls back; every pending flow is
    // cancelled; then the task completes. Returns at once while no disk work runs. Afterwards no
    // flow starts any more: the object is only waiting to be destroyed. Never throws.
    QCoro::Task<> prepareToClose();

private:
    friend class ViewModelInternals;

    void retireFlows();
    void loadConfiguration();

    // Destroyed last: every action object below refers to it.
    std::unique_ptr<ViewModelContext> m_context;
    std::unique_ptr<Figures> m_figures;
    std::unique_ptr<PersistedStateReader> m_persisted;
    std::unique_ptr<ShownListing> m_listing;
    std::unique_ptr<DirectoryLoader> m_loader;
    std::unique_ptr<Navigator> m_navigator;
    std::unique_ptr<SettingsActions> m_settings;
    std::unique_ptr<SmartMigration> m_smartMigration;
    std::unique_ptr<DiskWorkflows> m_workflows;
    std::unique_ptr<AccountWorkflows> m_account;
    std::unique_ptr<LaunchSequence> m_launch;
    Prompts m_prompts;
};

} // namespace orvalink
