#include "ui/widgets/FocusRing.h"

#include <QEvent>
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

namespace {

class FocusRingOverlay : public QObject {
public:
    FocusRingOverlay(QWidget* widget, qreal radius) : QObject(widget), m_radius(radius) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = static_cast<QWidget*>(watched);
        if (event->type() != QEvent::Paint || m_painting)
            return false;
        // The widget paints itself first; the ring goes on top.
        m_painting = true;
        static_cast<QObject*>(widget)->event(event);
        m_painting = false;
        QPainter painter(widget);
        paintFocusRing(&painter, widget, QRectF(widget->rect()), m_radius);
        return true;
    }

private:
    qreal m_radius;
    bool m_painting = false;
};

} // namespace

void showFocusRing(QWidget* widget, qreal radius)
{
    widget->installEventFilter(new FocusRingOverlay(widget, radius));
}

} // namespace orvalink::ui
