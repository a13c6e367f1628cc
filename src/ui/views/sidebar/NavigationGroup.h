#pragma once

#include "ui/widgets/GroupPanel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QShortcut;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class BreadcrumbRow;
class PathInputRow;

// The "Navigation" group: the current directory's breadcrumbs, Back (Ctrl+[), Forward (Ctrl+]) and
// Up, the migration-list menu with the Smart Migration and Link Mode switches, System Apps, Clear
// Selection, and the path input.
class NavigationGroup : public GroupPanel {
    Q_OBJECT

public:
    explicit NavigationGroup(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();

private:
    void buildControls();
    void updateBreadcrumbs();

    MainViewModel& m_viewModel;
    BreadcrumbRow* m_breadcrumbs = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_forward = nullptr;
    QPushButton* m_up = nullptr;
    QShortcut* m_backShortcut = nullptr;
    QShortcut* m_forwardShortcut = nullptr;
    QLabel* m_profileLabel = nullptr;
    QComboBox* m_profile = nullptr;
    QCheckBox* m_smartMigration = nullptr;
    QCheckBox* m_linkMode = nullptr;
    QPushButton* m_systemApps = nullptr;
    QPushButton* m_clearSelection = nullptr;
    PathInputRow* m_pathInput = nullptr;
};

} // namespace orvalink::ui
