#include "ui/widgets/FocusRing.h"

#include <QPainter>
#include <QWidget>
#include <algorithm>

namespace orvalink::ui {

void paintFocusRing(QPainter* painter, const QWidget* widget, const QRectF& rect, qreal radius)
{
    if (!widget->hasFocus())
        return;
    constexpr qreal kWidth = 2;
    const QRectF ring = rect.adjusted(kWidth / 2, kWidth / 2, -kWidth / 2, -kWidth / 2);
    const qreal ringRadius = std::max<qreal>(0, std::min(radius - kWidth / 2, ring.height() / 2));
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(widget->palette().color(QPalette::Highlight), kWidth));
    painter->drawRoundedRect(ring, ringRadius, ringRadius);
    painter->restore();
}

} // namespace orvalink::ui
