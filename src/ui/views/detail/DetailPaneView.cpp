#include "ui/views/detail/DetailPaneView.h"

#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/detail/ActivityWorkspace.h"
#include "ui/views/detail/MigratedItemsPanel.h"
#include "ui/views/detail/MigrationHistoryPanel.h"
#include "ui/views/detail/StorageOverview.h"
#include "ui/views/detail/UndoControls.h"
#include "ui/widgets/GroupPanel.h"
#include "ui/widgets/SteadyScrollArea.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Presentation.h"

#include <QResizeEvent>
#include <QVBoxLayout>
#include <algorithm>

namespace orvalink::ui {

namespace {

// The workspace's header with its frame, and the least its body gets before it scrolls inside.
constexpr int kWorkspaceHeader = 70;
constexpr int kLeastWorkspaceBody = 160;

} // namespace

DetailPaneView::DetailPaneView(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel), m_state(state)
{
    setObjectName(QStringLiteral("detailPane"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The workspace stays at the top of the column while the sections below scroll: the progress
    // of running work is in view wherever the column was scrolled to.
    m_workspace = new ActivityWorkspace(viewModel, state, this);
    connect(m_workspace, &ActivityWorkspace::panelToggledByUser, this,
            &DetailPaneView::activityPanelToggledByUser);
    auto* pinned = new QVBoxLayout;
    pinned->setContentsMargins(12, 12, 12, 0);
    pinned->addWidget(m_workspace);
    layout->addLayout(pinned);

    auto* sections = new QWidget;
    sections->setObjectName(QStringLiteral("detailSections"));
    auto* stack = new QVBoxLayout(sections);
    stack->setContentsMargins(12, 12, 12, 12);
    stack->setSpacing(12);
    m_storage = new StorageOverview(viewModel, state, sections);
    m_undo = new UndoControls(viewModel, state, sections);
    m_historyBox = new GroupPanel(sections);
    m_historyBox->setObjectName(QStringLiteral("migrationHistoryBox"));
    m_history = new MigrationHistoryPanel(viewModel, m_historyBox);
    m_historyBox->contentLayout()->addWidget(m_history);
    m_migratedBox = new GroupPanel(sections);
    m_migratedBox->setObjectName(QStringLiteral("migratedItemsBox"));
    m_migrated = new MigratedItemsPanel(viewModel, m_migratedBox);
    m_migratedBox->contentLayout()->addWidget(m_migrated);
    m_footer = new SelectionFooter(viewModel, sections);
    stack->addWidget(m_storage);
    stack->addWidget(m_undo);
    stack->addWidget(m_historyBox, 1);
    stack->addWidget(m_migratedBox);
    stack->addWidget(m_footer);

    m_sectionsScroll = new SteadyScrollArea(this);
    m_sectionsScroll->setObjectName(QStringLiteral("detailScroll"));
    m_sectionsScroll->setContent(sections);
    layout->addWidget(m_sectionsScroll, 1);

    bindSections();
}

void DetailPaneView::bindSections()
{
    // The workspace, the storage overview, the undo row and both lists refresh themselves; the
    // titles and whether the migrated items show are set from here, and the footer is refreshed
    // from here, each on the values it shows.
    const Presentation& presentation = m_viewModel.presentation();
    const BrowsingState& browsing = m_viewModel.browsing();
    const ActivityState& activity = m_viewModel.activity();

    auto* historySection = new RefreshScheduler([this] { refreshHistory(); }, this);
    historySection->watch(&presentation, &Presentation::textsChanged);

    auto* migratedSection = new RefreshScheduler([this] { refreshMigratedItems(); }, this);
    migratedSection->watch(&presentation, &Presentation::textsChanged);
    migratedSection->watch(&browsing, &BrowsingState::undoModeActiveChanged);
    migratedSection->watch(&m_state, &DashboardViewState::showMigratedItemsPanelChanged);

    auto* footerSection = new RefreshScheduler([this] { m_footer->refresh(); }, this);
    footerSection->watch(&presentation, &Presentation::textsChanged);
    footerSection->watch(&browsing, &BrowsingState::selectedPathsChanged);
    footerSection->watch(&activity, &ActivityState::isUndoingChanged);

    refreshHistory();
    refreshMigratedItems();
    m_footer->refresh();
}

int DetailPaneView::heightForWidth(int width) const
{
    const QWidget* sections = m_sectionsScroll->widget();
    const int sectionsHeight =
        sections->hasHeightForWidth() ? sections->heightForWidth(width) : sections->sizeHint().height();
    const int workspaceHeight = m_workspace->hasHeightForWidth() ? m_workspace->heightForWidth(width - 24)
                                                                 : m_workspace->sizeHint().height();
    return 12 + workspaceHeight + sectionsHeight;
}

void DetailPaneView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // However much the workspace holds, the sections keep about half the column: its body scrolls
    // inside beyond that.
    m_workspace->setBodyHeightCap(std::max(kLeastWorkspaceBody, height() / 2 - kWorkspaceHeader));
}

void DetailPaneView::flushRefresh()
{
    RefreshScheduler::flushAll(this);
}

void DetailPaneView::refreshHistory()
{
    m_historyBox->setTitle(m_viewModel.presentation().localized(
        {QStringLiteral("迁移历史"), QStringLiteral("Migration History")}));
}

void DetailPaneView::refreshMigratedItems()
{
    // Undo mode is asked first: outside it the user's wish to see the panel is kept but not shown.
    const bool showMigrated = m_viewModel.browsing().undoModeActive() && m_state.showMigratedItemsPanel();
    m_migratedBox->setVisible(showMigrated);
    if (showMigrated)
        m_migratedBox->setTitle(m_viewModel.presentation().localized(
            {QStringLiteral("已迁移项目"), QStringLiteral("Migrated Items")}));
}

} // namespace orvalink::ui
