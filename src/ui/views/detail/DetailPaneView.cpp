#include "ui/views/detail/DetailPaneView.h"

#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/detail/ActivityWorkspace.h"
#include "ui/views/detail/MigratedItemsPanel.h"
#include "ui/views/detail/MigrationHistoryPanel.h"
#include "ui/views/detail/StorageOverview.h"
#include "ui/views/detail/UndoControls.h"
#include "ui/widgets/GroupPanel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Presentation.h"

#include <QVBoxLayout>

namespace orvalink::ui {

DetailPaneView::DetailPaneView(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel), m_state(state)
{
    setObjectName(QStringLiteral("detailPane"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);

    m_workspace = new ActivityWorkspace(viewModel, state, this);
    connect(m_workspace, &ActivityWorkspace::panelToggledByUser, this,
            &DetailPaneView::activityPanelToggledByUser);
    m_storage = new StorageOverview(viewModel, state, this);
    m_undo = new UndoControls(viewModel, state, this);
    m_historyBox = new GroupPanel(this);
    m_historyBox->setObjectName(QStringLiteral("migrationHistoryBox"));
    m_history = new MigrationHistoryPanel(viewModel, m_historyBox);
    m_historyBox->contentLayout()->addWidget(m_history);
    m_migratedBox = new GroupPanel(this);
    m_migratedBox->setObjectName(QStringLiteral("migratedItemsBox"));
    m_migrated = new MigratedItemsPanel(viewModel, m_migratedBox);
    m_migratedBox->contentLayout()->addWidget(m_migrated);
    m_footer = new SelectionFooter(viewModel, this);

    layout->addWidget(m_workspace);
    layout->addWidget(m_storage);
    layout->addWidget(m_undo);
    layout->addWidget(m_historyBox, 1);
    layout->addWidget(m_migratedBox);
    layout->addWidget(m_footer);

    m_refresh = new RefreshScheduler([this] { refresh(); }, this);
    m_refresh->watchAllSignals(&viewModel.browsing());
    m_refresh->watchAllSignals(&viewModel.activity());
    m_refresh->watchAllSignals(&viewModel.history());
    m_refresh->watchAllSignals(&state);
    refresh();
}

void DetailPaneView::flushRefresh()
{
    m_refresh->flush();
}

void DetailPaneView::refresh()
{
    const Presentation& texts = m_viewModel.presentation();
    m_workspace->refresh();
    m_storage->refresh();
    m_undo->refresh();
    m_historyBox->setTitle(texts.localized(QStringLiteral("迁移历史"), QStringLiteral("Migration History")));
    m_history->refresh();
    // Undo mode is asked first: outside it the user's wish to see the panel is kept but not shown.
    const bool showMigrated = m_viewModel.browsing().showOperationInfo() && m_state.showMigratedItemsPanel();
    m_migratedBox->setVisible(showMigrated);
    if (showMigrated) {
        m_migratedBox->setTitle(
            texts.localized(QStringLiteral("已迁移项目"), QStringLiteral("Migrated Items")));
        m_migrated->refresh();
    }
    m_footer->refresh();
}

} // namespace orvalink::ui
