#include "ui/views/account/AccountHeroIcon.h"

#include "ui/widgets/Symbols.h"
#include "ui/widgets/TextStyles.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace orvalink::ui {

AccountHeroIcon::AccountHeroIcon(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("accountHeroIcon"));
    setFixedSize(72, 72);
}

void AccountHeroIcon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    QLinearGradient gradient(rect().topLeft(), rect().bottomRight());
    gradient.setColorAt(0, withAlpha(accent, 0.22));
    gradient.setColorAt(1, withAlpha(QColor(Qt::blue), 0.12));
    QPainterPath tile;
    tile.addRoundedRect(QRectF(rect()), 14, 14);
    painter.fillPath(tile, gradient);
    const int side = 34;
    const QRect symbol((width() - side) / 2, (height() - side) / 2, side, side);
    Symbols::icon(QStringLiteral("person.crop.circle.badge.checkmark"), accent).paint(&painter, symbol);
}

} // namespace orvalink::ui
