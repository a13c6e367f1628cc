#include "ui/views/detail/DetailLabels.h"

#include "ui/widgets/ElidedLabel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Presentation.h"

#include <QLabel>
#include <QPushButton>

namespace orvalink::ui {

QLabel* styledLabel(QWidget* parent, const QString& objectName, TextStyle style, QFont::Weight weight)
{
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    // Names, paths and failure reasons hold file names, which may look like markup.
    label->setTextFormat(Qt::PlainText);
    QFont font = styledFont(style, label->font());
    if (weight != QFont::Normal)
        font.setWeight(weight);
    label->setFont(font);
    return label;
}

ElidedLabel* elidedLabel(QWidget* parent, const QString& objectName, TextStyle style, Qt::TextElideMode mode,
                         QFont::Weight weight)
{
    auto* label = new ElidedLabel(parent, mode);
    label->setObjectName(objectName);
    QFont font = styledFont(style, label->font());
    if (weight != QFont::Normal)
        font.setWeight(weight);
    label->setFont(font);
    return label;
}

QLabel* secondaryLabel(QWidget* parent, const QString& objectName, TextStyle style)
{
    QLabel* label = styledLabel(parent, objectName, style);
    applySecondaryTextColor(label);
    return label;
}

QPushButton* smallButton(QWidget* parent, const QString& objectName)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(objectName);
    applyTextStyle(button, TextStyle::Subheadline);
    return button;
}

QColor accentColor(const QWidget* widget)
{
    return widget->palette().color(QPalette::Highlight);
}

} // namespace orvalink::ui
