#pragma once

#include "ui/widgets/GroupPanel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class DashboardViewState;
class PathLine;
class Stepper;

// Turns the typed minimum size into the setting: a size the setting can take is stored (which
// rescans) and the field shows its text; anything else changes nothing and the field shows the
// size in force again.
void applyMinimumSizeInput(MainViewModel& viewModel, DashboardViewState& state);

// The "Scan" group: the scan root, the minimum size (stepper and typed field), the show-all,
// hidden-files and live-refresh switches, and the sort, file-type and visibility menus.
class ScanRootGroup : public GroupPanel {
    Q_OBJECT

public:
    ScanRootGroup(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent = nullptr);

    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildSizeRows();
    void buildSwitches();
    void buildPickers();
    // The menus' widths for the row they share; a row not laid out yet leaves no room, which sets
    // no limit.
    void fitPickers();

    MainViewModel& m_viewModel;
    DashboardViewState& m_state;
    QLabel* m_rootLabel = nullptr;
    PathLine* m_rootPath = nullptr;
    QPushButton* m_selectRoot = nullptr;
    Stepper* m_stepper = nullptr;
    QWidget* m_sizeRow = nullptr;
    QLineEdit* m_sizeField = nullptr;
    QPushButton* m_apply = nullptr;
    QCheckBox* m_showAll = nullptr;
    QCheckBox* m_showHidden = nullptr;
    QCheckBox* m_liveRefresh = nullptr;
    QLabel* m_hiddenTip = nullptr;
    QWidget* m_pickers = nullptr;
    QLabel* m_sortLabel = nullptr;
    QComboBox* m_sort = nullptr;
    QLabel* m_fileTypeLabel = nullptr;
    QComboBox* m_fileType = nullptr;
    QLabel* m_visibilityLabel = nullptr;
    QComboBox* m_visibility = nullptr;
};

} // namespace orvalink::ui
