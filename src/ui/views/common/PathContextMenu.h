#pragma once

#include <QString>

class QMenu;
class QWidget;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// The menu of every path the window's columns show: copy the path, open its folder in the sidebar,
// show it in the file manager. Every entry acts on the raw `path`, never on its masked form. The
// caller owns the menu.
QMenu* createPathContextMenu(MainViewModel& viewModel, const QString& path, QWidget* parent);

// The label of that menu's copy entry, also the one entry of a path line in a sheet.
QString copyPathText(MainViewModel& viewModel);

} // namespace orvalink::ui
