#pragma once

#include <QWidget>

class QCheckBox;
class QPushButton;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class DashboardViewState;

// The undo row: the "I Want Undo" switch, and in undo mode the two undo buttons and the button that
// shows or hides the migrated items.
class UndoControls : public QWidget {
    Q_OBJECT

public:
    UndoControls(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent = nullptr);

    void refresh();

private:
    MainViewModel& m_viewModel;
    DashboardViewState& m_state;
    QCheckBox* m_undoMode = nullptr;
    QPushButton* m_undoSelected = nullptr;
    QPushButton* m_undoLast = nullptr;
    QPushButton* m_migratedItems = nullptr;
};

} // namespace orvalink::ui
