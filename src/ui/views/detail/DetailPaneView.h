#pragma once

#include "ui/views/common/DashboardViewState.h"

#include <QWidget>

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class ActivityWorkspace;
class GroupPanel;
class MigratedItemsPanel;
class MigrationHistoryPanel;
class SelectionFooter;
class SteadyScrollArea;
class StorageOverview;
class UndoControls;

// The right column of the main window: activity workspace, storage overview, undo controls, migration
// history, migrated items and the selection footer. The workspace stays at the top while the
// sections below it scroll. The migrated items are present only in undo mode and while the user
// asked for them; the history takes the height the others leave.
class DetailPaneView : public QWidget {
    Q_OBJECT

public:
    DetailPaneView(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent = nullptr);

    ActivityWorkspace* activityWorkspace() const { return m_workspace; }
    // The height that shows the whole column at `width` without scrolling (for pictures of it).
    int heightForWidth(int width) const override;
    // Runs every pending refresh of the column now (tests and the off-screen export, before they
    // read or render).
    void flushRefresh();

Q_SIGNALS:
    // The user pressed the workspace's Expand/Collapse (before the flag flips): a pending automatic
    // collapse must be cancelled.
    void activityPanelToggledByUser();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void bindSections();
    void refreshHistory();
    void refreshMigratedItems();

    MainViewModel& m_viewModel;
    DashboardViewState& m_state;
    ActivityWorkspace* m_workspace = nullptr;
    SteadyScrollArea* m_sectionsScroll = nullptr;
    StorageOverview* m_storage = nullptr;
    UndoControls* m_undo = nullptr;
    GroupPanel* m_historyBox = nullptr;
    MigrationHistoryPanel* m_history = nullptr;
    GroupPanel* m_migratedBox = nullptr;
    MigratedItemsPanel* m_migrated = nullptr;
    SelectionFooter* m_footer = nullptr;
};

} // namespace orvalink::ui
