#include "ui/widgets/ElidingComboBox.h"

#include "ui/widgets/PlainToolTip.h"

#include <QEvent>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace orvalink::ui {

ElidingComboBox::ElidingComboBox(QWidget* parent) : QComboBox(parent)
{
    connect(this, &QComboBox::currentTextChanged, this, [this] { syncToolTip(shownText()); });
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
    syncToolTip(option.currentText);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

bool ElidingComboBox::event(QEvent* event)
{
    // Options relabelled without a signal (a language switch) are caught before a tip shows.
    if (event->type() == QEvent::ToolTip || event->type() == QEvent::Resize)
        syncToolTip(shownText());
    return QComboBox::event(event);
}

void ElidingComboBox::syncToolTip(const QString& shown)
{
    const QString wanted = shown == currentText() ? QString() : plainToolTip(currentText());
    if (toolTip() != wanted)
        setToolTip(wanted);
}

} // namespace orvalink::ui
