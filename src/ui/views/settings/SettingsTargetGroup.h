#pragma once

#include "ui/widgets/GroupPanel.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class SelectablePathField;

// Unified management: the switch, the first and the active target location, choosing and
// resetting the first location.
class SettingsTargetGroup : public GroupPanel {
    Q_OBJECT

public:
    explicit SettingsTargetGroup(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();

private:
    MainViewModel& m_viewModel;
    QCheckBox* m_unified = nullptr;
    QLabel* m_firstLabel = nullptr;
    SelectablePathField* m_first = nullptr;
    QLabel* m_activeLabel = nullptr;
    SelectablePathField* m_active = nullptr;
    QPushButton* m_choose = nullptr;
    QPushButton* m_reset = nullptr;
    QLabel* m_lockNote = nullptr;
};

} // namespace orvalink::ui
