#include "ui/views/dashboard/MainDashboardView.h"

#include "model/Formatters.h"
#include "ui/views/detail/ActivityWorkspace.h"
#include "ui/views/detail/DetailPaneView.h"
#include "ui/views/sidebar/DirectoryListView.h"
#include "ui/views/sidebar/MinimumSizeText.h"
#include "ui/views/sidebar/SidebarColumnView.h"
#include "ui/widgets/PointerWatch.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/Figures.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/launch/LaunchSequence.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QSplitter>
#include <cmath>

namespace orvalink::ui {

namespace {

constexpr std::chrono::seconds kActivityCollapseDelay(5);

// The field's text before the start-up has run: a whole number when within 0.01 of one, else one
// decimal. The start-up rewrites it with minSizeText() at once. Sizes without a text form (not
// finite, beyond 64 bits) read empty, as minSizeText() has them.
QString initialMinSizeText(double megabytes)
{
    const double rounded = std::round(megabytes);
    if (!std::isfinite(megabytes) || std::fabs(rounded) >= 9.2e18)
        return {};
    if (std::fabs(rounded - megabytes) < 0.01)
        return QString::number(qint64(rounded));
    return Formatters::fixedPoint(megabytes, 1);
}

} // namespace

MainDashboardView::MainDashboardView(MainViewModel& viewModel, DashboardOptions options, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel), m_options(std::move(options))
{
    setObjectName(QStringLiteral("mainDashboard"));
    setMinimumSize(1200, 760);
    m_state.setShowProgressPanel(m_options.initialShowProgressPanel);
    m_state.setShowMigratedItemsPanel(m_options.initialShowMigratedItemsPanel);
    m_state.setShowStorageOverviewExpanded(m_options.initialShowStorageOverviewExpanded);
    m_state.setMinSizeInput(initialMinSizeText(m_viewModel.browsing().minSizeMB()));

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("dashboardSplitter"));
    splitter->setChildrenCollapsible(false);
    // Each column scrolls inside itself: what has to stay in view (the list, the status line, the
    // activity workspace) stays outside its scroll area.
    auto* sidebar = new SidebarColumnView(m_viewModel, m_state);
    splitter->addWidget(sidebar);
    // The keyboard starts at the folder list, the window's main content: the arrows, Space and
    // Return work at once, the search is one Shift+Tab away and the groups above follow it.
    sidebar->listView()->setFocus(Qt::OtherFocusReason);
    auto* detail = new DetailPaneView(m_viewModel, m_state);
    // The user's own open or close of the workspace wins over a pending timed collapse.
    connect(detail, &DetailPaneView::activityPanelToggledByUser, this,
            &MainDashboardView::cancelActivityAutoCollapse);
    splitter->addWidget(detail);
    m_workspace = detail->activityWorkspace();
    m_pointer = new PointerWatch(this);
    // Both columns in view, the sidebar a little wider: its rows of controls share lines only
    // with enough width, and every line they take is taken from the directory list. The detail
    // column's cards fold into one column where it is narrow.
    splitter->setStretchFactor(0, 11);
    splitter->setStretchFactor(1, 9);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    m_autoCollapse.setSingleShot(true);
    m_autoCollapse.setInterval(kActivityCollapseDelay);
    connect(&m_autoCollapse, &QTimer::timeout, this, &MainDashboardView::collapseWhenStillIdle);
    watchPublishedValues();
}

void MainDashboardView::setAppearHooksEnabled(bool enabled)
{
    m_appearHooksEnabled = enabled;
    if (!enabled)
        m_autoCollapse.stop();
}

void MainDashboardView::setActivityCollapseInterval(std::chrono::milliseconds interval)
{
    m_autoCollapse.setInterval(interval);
}

void MainDashboardView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_startupQueued || !m_appearHooksEnabled)
        return;
    m_startupQueued = true;
    QTimer::singleShot(0, this, [this] { startDetached(runStartup()); });
}

QCoro::Task<> MainDashboardView::runStartup()
{
    QPointer<MainDashboardView> self(this);
    m_state.setMinSizeInput(minSizeText(m_viewModel.browsing().minSizeMB()));
    if (!m_options.shouldRunBootstrap) {
        m_state.setActiveSheet(m_options.initialSheet);
    } else {
        co_await m_viewModel.launch().bootstrap();
        if (!self)
            co_return;
        // The runs may outlive this window: keep them in this frame.
        const QList<AutomationRun> runs = m_automationRuns;
        for (const AutomationRun& run : runs) {
            if (!self)
                co_return;
            co_await run(*this);
        }
        if (!self)
            co_return;
    }
    refreshActivityWorkspaceBehavior();
    m_startupFinished = true;
    Q_EMIT startupFinished();
}

void MainDashboardView::watchPublishedValues()
{
    const BrowsingState& browsing = m_viewModel.browsing();
    const ActivityState& activity = m_viewModel.activity();
    const HistoryState& history = m_viewModel.history();
    m_seenProgressShown = m_viewModel.figures().shouldShowMigrationProgress();
    m_seenMigrations = history.recentMigrations().size();
    m_seenFailures = history.recentFailedMigrations().size();
    m_seenRestored = history.lastRestoredPaths().size();
    m_seenLeftBehind = history.undoLeftovers().size();
    m_seenKept = history.keptVersions().size();

    // Opening a folder (a scan) is no new activity: the workspace stays as it is.
    connect(&browsing, &BrowsingState::minSizeMBChanged, this, &MainDashboardView::minSizeChanged);
    connect(&activity, &ActivityState::isRepairingLinksChanged, this, &MainDashboardView::repairingChanged);
    // Whether progress shows is computed from the disk work and the item total; every change of the
    // disk work (the start-up's recovery too) settles the workspace.
    connect(&activity, &ActivityState::diskWorkChanged, this, &MainDashboardView::progressShownChanged);
    connect(&activity, &ActivityState::migrationTotalItemsChanged, this,
            &MainDashboardView::progressShownChanged);
    connect(&history, &HistoryState::recentMigrationsChanged, this, &MainDashboardView::countsChanged);
    connect(&history, &HistoryState::recentFailedMigrationsChanged, this, &MainDashboardView::countsChanged);
    connect(&history, &HistoryState::lastRestoredPathsChanged, this, &MainDashboardView::countsChanged);
    connect(&history, &HistoryState::undoLeftoversChanged, this, &MainDashboardView::countsChanged);
    connect(&history, &HistoryState::keptVersionsChanged, this, &MainDashboardView::countsChanged);
    // A repair's report comes once at its end and goes when the next run starts.
    connect(&history, &HistoryState::lastLinkRepairChanged, this, &MainDashboardView::resultChanged);
}

void MainDashboardView::minSizeChanged()
{
    if (!m_state.minSizeInputFocused())
        m_state.setMinSizeInput(minSizeText(m_viewModel.browsing().minSizeMB()));
}

void MainDashboardView::progressShownChanged()
{
    const bool shown = m_viewModel.figures().shouldShowMigrationProgress();
    if (shown != m_seenProgressShown) {
        m_seenProgressShown = shown;
        if (shown)
            m_state.setShowProgressPanel(true);
    }
    // The end of a run changes no other watched value for sure (the progress stays shown with its
    // final counts): it must settle the workspace itself.
    refreshActivityWorkspaceBehavior();
}

void MainDashboardView::repairingChanged()
{
    if (m_viewModel.activity().isRepairingLinks())
        m_state.setShowProgressPanel(true);
    refreshActivityWorkspaceBehavior();
}

void MainDashboardView::countsChanged()
{
    const HistoryState& history = m_viewModel.history();
    const qsizetype migrations = history.recentMigrations().size();
    const qsizetype failures = history.recentFailedMigrations().size();
    const qsizetype restored = history.lastRestoredPaths().size();
    const qsizetype leftBehind = history.undoLeftovers().size();
    const qsizetype kept = history.keptVersions().size();
    // Each list is its own handler: two lists changing count at once refresh twice, as two would.
    for (auto [seen, now] : {std::pair{&m_seenMigrations, migrations}, std::pair{&m_seenFailures, failures},
                             std::pair{&m_seenRestored, restored}, std::pair{&m_seenLeftBehind, leftBehind},
                             std::pair{&m_seenKept, kept}}) {
        if (*seen == now)
            continue;
        *seen = now;
        resultChanged();
    }
}

void MainDashboardView::resultChanged()
{
    m_resultSettled = false;
    refreshActivityWorkspaceBehavior();
}

bool MainDashboardView::isActivityBusy() const
{
    // Work that runs, not whether progress shows: the progress card keeps the counts of a finished
    // batch, and reading that as busy would keep the workspace open for good after any migration.
    return m_viewModel.activity().isDiskWorkBusy() || ActivityWorkspace::needsReview(m_viewModel);
}

bool MainDashboardView::hasSuccessActivity() const
{
    return ActivityWorkspace::hasSuccessActivity(m_viewModel);
}

void MainDashboardView::refreshActivityWorkspaceBehavior()
{
    if (m_viewModel.activity().isDiskWorkBusy()) {
        cancelActivityAutoCollapse();
        m_resultSettled = false;
        // Opened once a run starts; a Collapse of the user's during the run stands until its end.
        if (!m_runShown)
            m_state.setShowProgressPanel(true);
        m_runShown = true;
        return;
    }
    const bool runEnded = m_runShown;
    m_runShown = false;
    // A result is settled once (opened, and its collapse timed when it needs no review): the user's
    // Expand or Collapse then stands until a new run or a new result.
    if (m_resultSettled)
        return;
    m_resultSettled = true;
    if (isActivityBusy()) {
        cancelActivityAutoCollapse();
        m_state.setShowProgressPanel(true);
    } else if (hasSuccessActivity()) {
        scheduleActivityAutoCollapse();
    } else {
        cancelActivityAutoCollapse();
        // A run that leaves nothing to show (the start-up's, when what it put right needs no word)
        // closes the workspace it opened.
        if (runEnded && !m_viewModel.figures().shouldShowMigrationProgress())
            m_state.setShowProgressPanel(false);
    }
}

void MainDashboardView::scheduleActivityAutoCollapse()
{
    cancelActivityAutoCollapse();
    if (isActivityBusy() || !hasSuccessActivity())
        return;
    m_state.setShowProgressPanel(true);
    if (m_appearHooksEnabled)
        m_autoCollapse.start();
    m_state.setActivityCollapsePending(m_autoCollapse.isActive());
}

void MainDashboardView::cancelActivityAutoCollapse()
{
    m_autoCollapse.stop();
    m_state.setActivityCollapsePending(false);
}

void MainDashboardView::collapseWhenStillIdle()
{
    if (isActivityBusy() || !hasSuccessActivity()) {
        m_state.setActivityCollapsePending(false);
        return;
    }
    // Not under the pointer: the user may be about to press Collapse, or a record's button, which
    // would be gone (or become Expand) as the click lands. The collapse waits until the pointer
    // has been away for as long again.
    if (m_pointer->isOver(m_workspace)) {
        m_autoCollapse.start();
        return;
    }
    m_state.setActivityCollapsePending(false);
    m_state.setShowProgressPanel(false);
}

} // namespace orvalink::ui
