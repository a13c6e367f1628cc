#pragma once

#include <QString>
#include <functional>

class QMenu;
class QWidget;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// The menu of every path line of the window: copy the path, open its folder in the sidebar, show it
// in the file manager. Each entry acts on the raw path, also while the line shows it masked.
QMenu* createPathContextMenu(MainViewModel& viewModel, const QString& path, QWidget* parent);

// Gives `widget` that menu on a right click, for the path `path()` returns at the moment of the
// click. The menu open last is `widget`'s child named "pathContextMenu" until it closes.
void attachPathContextMenu(QWidget* widget, MainViewModel& viewModel, std::function<QString()> path);

} // namespace orvalink::ui
