#include "ui/widgets/CardFrame.h"

#include "ui/widgets/TextStyles.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace orvalink::ui {

CardFrame::CardFrame(QWidget* parent) : QFrame(parent)
{
    m_shadow.cornerRadius = 16;
    m_shadow.blurRadius = 10;
    m_shadow.color = QColor(0, 0, 0, 20); // black at 8%
    setFrameShape(QFrame::NoFrame);
    updateShadowMargins();
}

void CardFrame::setCornerRadius(qreal radius)
{
    m_shadow.cornerRadius = std::max<qreal>(0, radius);
    update();
}

void CardFrame::setShadow(const QColor& color, qreal blurRadius, QPointF offset)
{
    m_shadow.color = color;
    m_shadow.blurRadius = std::max<qreal>(0, blurRadius);
    m_shadowOffset = offset;
    updateShadowMargins();
    update();
}

void CardFrame::setMaterialOpacity(qreal opacity)
{
    m_materialOpacity = std::clamp<qreal>(opacity, 0, 1);
    update();
}

void CardFrame::updateShadowMargins()
{
    const int spread = shadowSpread(m_shadow);
    const int dx = int(std::ceil(std::abs(m_shadowOffset.x())));
    const int dy = int(std::ceil(std::abs(m_shadowOffset.y())));
    const int left = std::max(0, spread + (m_shadowOffset.x() < 0 ? dx : -dx));
    const int right = std::max(0, spread + (m_shadowOffset.x() > 0 ? dx : -dx));
    const int top = std::max(0, spread + (m_shadowOffset.y() < 0 ? dy : -dy));
    const int bottom = std::max(0, spread + (m_shadowOffset.y() > 0 ? dy : -dy));
    setContentsMargins(left, top, right, bottom);
}

QRectF CardFrame::cardRect() const
{
    return QRectF(contentsRect());
}

void CardFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = cardRect();
    if (card.isEmpty())
        return;
    paintShadow(&painter, card.translated(m_shadowOffset), m_shadow);

    QPainterPath shape;
    shape.addRoundedRect(card, m_shadow.cornerRadius, m_shadow.cornerRadius);
    painter.fillPath(shape, withAlpha(palette().color(QPalette::Window), m_materialOpacity));

    // The stroke lies inside the edge, so it is half a pixel in from the card's border.
    QPainterPath stroke;
    const qreal inner = std::max<qreal>(0, m_shadow.cornerRadius - 0.5);
    stroke.addRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), inner, inner);
    painter.strokePath(stroke, QPen(withAlpha(palette().color(QPalette::WindowText), 0.08), 1));
}

} // namespace orvalink::ui
