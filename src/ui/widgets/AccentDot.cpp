#include "ui/widgets/AccentDot.h"

#include "ui/widgets/TextStyles.h"

#include <QPainter>

namespace orvalink::ui {

AccentDot::AccentDot(QWidget* parent) : QWidget(parent)
{
    setFixedSize(12, 16);
}

void AccentDot::setAccent(const QColor& accent)
{
    if (accent == m_accent)
        return;
    m_accent = accent;
    update();
}

void AccentDot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(m_accent, 0.2));
    painter.drawEllipse(QRectF(0, 4, 12, 12));
}

} // namespace orvalink::ui
