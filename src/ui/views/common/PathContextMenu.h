#pragma once

#include <QList>
#include <QString>
#include <utility>

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

// The menu of a record that shows several path lines, as the keyboard opens it for the record as a
// whole: one entry per line, reading as the line reads (`lines`: the shown text, then the raw
// path), each opening that path's menu. The caller owns the menu.
QMenu* createPathLinesMenu(MainViewModel& viewModel, const QList<std::pair<QString, QString>>& lines,
                           QWidget* parent);

// The label of that menu's copy entry, also the one entry of a path line in a sheet.
QString copyPathText(MainViewModel& viewModel);

} // namespace orvalink::ui
