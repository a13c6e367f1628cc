#include "ui/widgets/LayoutSettling.h"

#include <QApplication>
#include <QLayout>
#include <QWidget>

namespace orvalink::ui {

namespace {

constexpr int kMostSettleTurns = 50;

// Activates every layout of `widget`'s tree, the innermost first, so that each outer layout works
// from the fresh sizes of the widgets inside it. Returns whether any layout had to be redone.
bool activateLayoutsFromInside(QWidget& widget)
{
    QList<QWidget*> tree = widget.findChildren<QWidget*>();
    tree.prepend(&widget);
    bool redone = false;
    // findChildren lists a widget before its descendants: backwards, every child comes first.
    for (auto it = tree.crbegin(); it != tree.crend(); ++it) {
        if (QLayout* layout = (*it)->layout())
            redone = layout->activate() || redone;
    }
    return redone;
}

} // namespace

void settleLayouts(QWidget& widget)
{
    int quietTurns = 0;
    for (int turn = 0; turn < kMostSettleTurns && quietTurns < 2; ++turn) {
        QApplication::processEvents();
        quietTurns = activateLayoutsFromInside(widget) ? 0 : quietTurns + 1;
    }
}

} // namespace orvalink::ui
