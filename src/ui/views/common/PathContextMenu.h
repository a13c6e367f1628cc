#pragma once

#include "ui/widgets/SelectablePathField.h"

#include <QString>
#include <functional>

class QMenu;
class QWidget;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// The menu of every path the window shows: copy the path, open its folder in the sidebar, show it
// in the file manager. Every entry acts on the raw `path`, never on its masked form. The caller owns
// the menu.
QMenu* createPathContextMenu(MainViewModel& viewModel, const QString& path, QWidget* parent);

// Gives `widget` that menu on a right click, for the path `path()` returns at the moment of the
// click. The menu open last is `widget`'s child named "pathContextMenu" until it closes.
void attachPathContextMenu(QWidget* widget, MainViewModel& viewModel, std::function<QString()> path);

// A selectable monospace path line whose context menu is the path menu above. It shows a text the
// owner gives (the masked path, or a label and the masked path) and acts on the raw path.
class PathLine : public SelectablePathField {
    Q_OBJECT

public:
    PathLine(MainViewModel& viewModel, int pixelSize, QWidget* parent = nullptr);

    const QString& rawPath() const { return m_rawPath; }
    // Changes the text only when it differs, so a selection survives refreshes that change nothing.
    void setPath(const QString& rawPath, const QString& shownText);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    MainViewModel& m_viewModel;
    QString m_rawPath;
};

} // namespace orvalink::ui
