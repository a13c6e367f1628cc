#pragma once

#include "ui/views/common/DashboardViewState.h"
#include "ui/views/common/QuickSheet.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <optional>

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class PointerWatch;

// How the window opens. The normal window takes the defaults; the guide export passes its own panel
// flags and no start-up.
struct DashboardOptions {
    std::optional<QuickSheet> initialSheet;
    bool initialShowProgressPanel = false;
    bool initialShowMigratedItemsPanel = false;
    bool initialShowStorageOverviewExpanded = true;
    bool shouldRunBootstrap = true;
};

// The root view of the application's one window: the sidebar and detail columns over one
// MainViewModel, with the window's own view state. A plain widget: MainWindow hosts it and the guide
// export renders it off screen.
class MainDashboardView : public QWidget {
    Q_OBJECT

public:
    // A step run after the start-up flow, before the activity workspace is settled (the guide-capture
    // and UI-smoke modes); the application entry sets them.
    using AutomationRun = std::function<QCoro::Task<>(MainDashboardView&)>;

    MainDashboardView(MainViewModel& viewModel, DashboardOptions options = {}, QWidget* parent = nullptr);

    MainViewModel& viewModel() { return m_viewModel; }
    DashboardViewState& viewState() { return m_state; }
    void setAutomationRuns(QList<AutomationRun> runs) { m_automationRuns = std::move(runs); }

    // Off, the first showing starts nothing and no collapse is ever timed: the guide export renders
    // the window off screen in exactly the state it set up. Switch it off before the first show.
    void setAppearHooksEnabled(bool enabled);
    bool appearHooksEnabled() const { return m_appearHooksEnabled; }
    // How long the activity workspace stays open after successful work (5 s; tests shorten it).
    void setActivityCollapseInterval(std::chrono::milliseconds interval);
    bool isActivityAutoCollapsePending() const { return m_autoCollapse.isActive(); }
    // True once the start-up has run to its end.
    bool hasFinishedStartup() const { return m_startupFinished; }

    // Busy (a migration, undo or link repair runs, or failed records, entries an undo left on the
    // volume or links not repaired are present): the workspace stays open.
    bool isActivityBusy() const;
    // Recent migrations, restored paths or a link repair's report are present.
    bool hasSuccessActivity() const;
    // Opens the workspace when a run starts, and at its end or at a new result (held open when it
    // needs review, its collapse timed after successful work); otherwise, opening a folder say,
    // leaves the user's choice alone.
    void refreshActivityWorkspaceBehavior();
    void scheduleActivityAutoCollapse();
    void cancelActivityAutoCollapse();

Q_SIGNALS:
    void startupFinished();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QCoro::Task<> runStartup();
    void watchPublishedValues();
    void minSizeChanged();
    void progressShownChanged();
    void repairingChanged();
    void countsChanged();
    // New records or a new report to show: the workspace settles them anew.
    void resultChanged();
    void collapseWhenStillIdle();

    MainViewModel& m_viewModel;
    DashboardOptions m_options;
    DashboardViewState m_state;
    QList<AutomationRun> m_automationRuns;
    bool m_appearHooksEnabled = true;
    bool m_startupQueued = false;
    bool m_startupFinished = false;
    QTimer m_autoCollapse;
    // What the timed collapse would move away from under the pointer.
    QWidget* m_workspace = nullptr;
    PointerWatch* m_pointer = nullptr;
    // The last values the change handlers saw: a handler fires only when its value changes.
    bool m_seenProgressShown = false;
    qsizetype m_seenMigrations = 0;
    qsizetype m_seenFailures = 0;
    qsizetype m_seenRestored = 0;
    qsizetype m_seenLeftBehind = 0;
    qsizetype m_seenKept = 0;
    // The workspace was opened for the running work, and the finished work's result was settled.
    bool m_runShown = false;
    bool m_resultSettled = false;
};

} // namespace orvalink::ui
