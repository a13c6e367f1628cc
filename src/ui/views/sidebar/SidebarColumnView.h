#pragma once

#include "ui/views/common/DashboardViewState.h"

#include <QWidget>
#include <memory>

class QLabel;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class ActionsRow;
class DirectoryIconCache;
class FittedScrollArea;
class DirectoryListModel;
class DirectoryListView;
class ElidedLabel;
class NavigationGroup;
class QuickAccessBar;
class RefreshScheduler;
class ScanRootGroup;
class SearchRow;
class SmartMigrationPanel;
class TargetVolumeGroup;
class ViewModelDirectoryListSource;

// The left column of the main window: quick-access bar, scan, target and navigation groups, actions,
// notices and the smart-migration panel (these scroll when the column is short), then search, the
// directory list and the status line, always in view.
class SidebarColumnView : public QWidget {
    Q_OBJECT

public:
    SidebarColumnView(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent = nullptr);
    ~SidebarColumnView() override;

    // Brings every label up to the state now instead of at the next turn of the event loop.
    void flushRefresh();

    DirectoryListView* listView() const { return m_listView; }
    DirectoryListModel* listModel() const { return m_listModel; }

private:
    void refresh();

    MainViewModel& m_viewModel;
    DashboardViewState& m_state;
    std::unique_ptr<ViewModelDirectoryListSource> m_listSource;
    std::unique_ptr<DirectoryIconCache> m_icons;
    DirectoryListModel* m_listModel = nullptr;
    RefreshScheduler* m_scheduler = nullptr;

    FittedScrollArea* m_groupsScroll = nullptr;
    QuickAccessBar* m_quickAccess = nullptr;
    ScanRootGroup* m_scanGroup = nullptr;
    TargetVolumeGroup* m_targetGroup = nullptr;
    NavigationGroup* m_navigationGroup = nullptr;
    ActionsRow* m_actions = nullptr;
    QLabel* m_containersNotice = nullptr;
    SmartMigrationPanel* m_smartPanel = nullptr;
    SearchRow* m_search = nullptr;
    DirectoryListView* m_listView = nullptr;
    QLabel* m_noMatch = nullptr;
    ElidedLabel* m_info = nullptr;
};

} // namespace orvalink::ui
