#pragma once

#include "ui/widgets/SelectablePathField.h"

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// A path line of the window's columns: a SelectablePathField whose context menu is the window's
// path menu (copy the path, open its folder in the sidebar, show it in the file manager), acting on
// the real path whatever the line shows. The sheets, which stand in front of the columns, use the
// plain field and its copy entry.
class PathLine : public SelectablePathField {
    Q_OBJECT

public:
    PathLine(MainViewModel& viewModel, QWidget* parent, int pixelSize,
             Placement placement = Placement::Inset);

    // The window's path menu for rawPath(); every entry is off while the line names no path.
    QMenu* createPathMenu(QWidget* parent) override;

private:
    MainViewModel& m_viewModel;
};

} // namespace orvalink::ui
