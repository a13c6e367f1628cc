#include "ui/widgets/TabOrder.h"

#include <QWidget>

namespace orvalink::ui {

void placeInTabOrder(QWidget* place, const QList<QWidget*>& widgets)
{
    // The focus chain holds every widget of the window in creation order, the window itself
    // included; walk back from `place` to a stop that keeps its place.
    QWidget* anchor = place->previousInFocusChain();
    while (
        anchor != place && !anchor->isWindow() &&
        (!(anchor->focusPolicy() & Qt::TabFocus) || place->isAncestorOf(anchor) || widgets.contains(anchor)))
        anchor = anchor->previousInFocusChain();
    if (anchor == place || anchor->isWindow())
        return;
    for (QWidget* widget : widgets) {
        QWidget::setTabOrder(anchor, widget);
        anchor = widget;
    }
}

} // namespace orvalink::ui
