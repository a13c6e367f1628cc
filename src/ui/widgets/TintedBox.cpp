#include "ui/widgets/TintedBox.h"

#include "ui/widgets/TextStyles.h"

#include <QPainter>
#include <QPainterPath>

namespace orvalink::ui {

TintedBox::TintedBox(const QColor& tint, qreal alpha, qreal radius, QWidget* parent)
    : QWidget(parent), m_tint(tint), m_alpha(alpha), m_radius(radius)
{}

void TintedBox::setTint(const QColor& tint, qreal alpha)
{
    if (tint == m_tint && alpha == m_alpha)
        return;
    m_tint = tint;
    m_alpha = alpha;
    update();
}

void TintedBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), m_radius, m_radius);
    const QColor base = m_tint.isValid() ? m_tint : palette().color(QPalette::WindowText);
    painter.fillPath(path, withAlpha(base, m_alpha));
}

} // namespace orvalink::ui
