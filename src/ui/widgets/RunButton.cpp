#include "ui/widgets/RunButton.h"

#include "ui/widgets/FocusRing.h"

#include <QPainter>

namespace orvalink::ui {

bool RunButton::focusNextPrevChild(bool next)
{
    // Qt asks a focused widget to pass the focus on when it is disabled or hidden. A Tab pressed on
    // the disabled button reaches its parent instead, which moves the focus as usual.
    if (!isEnabled() && isVisible() && hasFocus())
        return true;
    return QPushButton::focusNextPrevChild(next);
}

void RunButton::paintEvent(QPaintEvent* event)
{
    QPushButton::paintEvent(event);
    if (isEnabled())
        return;
    QPainter painter(this);
    paintFocusRing(&painter, this, QRectF(rect()).adjusted(1, 1, -1, -1), 3);
}

} // namespace orvalink::ui
