#include "ui/widgets/ElidingComboBox.h"

#include "ui/widgets/PlainToolTip.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace orvalink::ui {

ElidingComboBox::ElidingComboBox(QWidget* parent) : QComboBox(parent)
{
    connect(this, &QComboBox::currentTextChanged, this, &ElidingComboBox::syncToolTip);
}

int ElidingComboBox::textWidth() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    // The style draws the option one pixel in from either side of its field.
    return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this).width() -
           2;
}

QString ElidingComboBox::shownText() const
{
    return fontMetrics().elidedText(currentText(), Qt::ElideRight, textWidth());
}

void ElidingComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = shownText();
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void ElidingComboBox::resizeEvent(QResizeEvent* event)
{
    QComboBox::resizeEvent(event);
    syncToolTip();
}

void ElidingComboBox::syncToolTip()
{
    setPlainToolTip(this, shownText() == currentText() ? QString() : currentText());
}

} // namespace orvalink::ui
