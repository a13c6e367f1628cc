#pragma once

#include "ui/views/DashboardViewState.h"
#include "ui/views/QuickSheet.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QWidget>
#include <functional>
#include <optional>

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

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

private:
    MainViewModel& m_viewModel;
    DashboardOptions m_options;
    DashboardViewState m_state;
    QList<AutomationRun> m_automationRuns;
};

} // namespace orvalink::ui
