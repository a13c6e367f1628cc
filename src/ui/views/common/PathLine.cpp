#include "ui/views/common/PathLine.h"

#include "ui/views/common/PathContextMenu.h"

#include <QMenu>

namespace orvalink::ui {

PathLine::PathLine(MainViewModel& viewModel, QWidget* parent, int pixelSize, Placement placement)
    : SelectablePathField(parent, pixelSize, placement), m_viewModel(viewModel)
{}

QMenu* PathLine::createPathMenu(QWidget* parent)
{
    QMenu* menu = createPathContextMenu(m_viewModel, rawPath(), parent);
    if (rawPath().isEmpty()) {
        for (QAction* action : menu->actions())
            action->setEnabled(false);
    }
    return menu;
}

} // namespace orvalink::ui
