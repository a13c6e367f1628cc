#pragma once

#include "ui/widgets/GroupPanel.h"

class QLabel;
class QMenu;
class QPushButton;

namespace orvalink {
class MainViewModel;
struct VolumeInfo;
} // namespace orvalink

namespace orvalink::ui {

class PathLine;

// Where a migrated folder for a volume goes: the "OrvalinkRoot" folder directly inside its mount
// point (not created here).
QString volumeTargetRoot(const VolumeInfo& volume);

// The "Target" group: the effective target root and its volume's state, the folder chooser, the
// volume list refresh, the external-volume menu and the note of a locked unified target.
class TargetVolumeGroup : public GroupPanel {
    Q_OBJECT

public:
    explicit TargetVolumeGroup(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();
    // The volume menu's entries, rebuilt each time it is about to show.
    QMenu* volumeMenu() const { return m_volumeMenu; }

private:
    void rebuildVolumeMenu();

    MainViewModel& m_viewModel;
    QLabel* m_rootLabel = nullptr;
    PathLine* m_rootPath = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_selectTarget = nullptr;
    QPushButton* m_refreshVolumes = nullptr;
    QPushButton* m_volumeButton = nullptr;
    QMenu* m_volumeMenu = nullptr;
    QLabel* m_lockNote = nullptr;
};

} // namespace orvalink::ui
