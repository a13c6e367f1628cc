#pragma once

#include <QWidget>

class QPushButton;
class QShortcut;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class BusyIndicator;
class PathLine;

// The current directory with a scan indicator, "Refresh Now" (also Ctrl+R) and "Migrate Selected".
class ActionsRow : public QWidget {
    Q_OBJECT

public:
    explicit ActionsRow(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();

private:
    MainViewModel& m_viewModel;
    PathLine* m_currentPath = nullptr;
    BusyIndicator* m_scanning = nullptr;
    QPushButton* m_rescan = nullptr;
    QShortcut* m_rescanShortcut = nullptr;
    QPushButton* m_migrate = nullptr;
};

} // namespace orvalink::ui
