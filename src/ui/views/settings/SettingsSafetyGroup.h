#pragma once

#include "ui/widgets/GroupPanel.h"
#include "ui/widgets/KeyedWidgets.h"

#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class BusyIndicator;
class SelectablePathField;

// Strict mode: the switch, the administrator check, and the list of paths it blocks (closed each
// time the sheet opens).
class SettingsSafetyGroup : public GroupPanel {
    Q_OBJECT

public:
    explicit SettingsSafetyGroup(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();
    bool showsBlockedPaths() const { return m_showBlockedPaths; }

Q_SIGNALS:
    void blockedPathsToggled();

private:
    void updateBlockedPaths();

    MainViewModel& m_viewModel;
    bool m_showBlockedPaths = false;
    QCheckBox* m_strict = nullptr;
    QPushButton* m_adminAuth = nullptr;
    QPushButton* m_toggleList = nullptr;
    BusyIndicator* m_busy = nullptr;
    QScrollArea* m_list = nullptr;
    // One row per blocked path, kept by the path, so a selection in a row survives a refresh.
    KeyedWidgets<SelectablePathField> m_rowList;
    QLabel* m_explanation = nullptr;
    QLabel* m_legend = nullptr;
};

} // namespace orvalink::ui
