#include "ui/widgets/TextLabel.h"

#include "ui/widgets/ElidedLabel.h"

#include <QLabel>

namespace orvalink::ui {

namespace {

void applyOptions(QLabel* label, const QString& objectName, TextStyle style, LabelOptions options)
{
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    QFont font = styledFont(style, label->font());
    if (options & LabelOption::Monospace) {
        const QFont::Weight weight = font.weight();
        font = monoFont(font.pixelSize());
        font.setWeight(weight);
    }
    if (options & LabelOption::Bold)
        font.setWeight(QFont::Bold);
    else if (options & LabelOption::Semibold)
        font.setWeight(QFont::DemiBold);
    label->setFont(font);
    if (options & LabelOption::Secondary)
        applySecondaryTextColor(label);
}

} // namespace

QLabel* textLabel(QWidget* parent, const QString& objectName, TextStyle style, LabelOptions options)
{
    auto* label = new QLabel(parent);
    applyOptions(label, objectName, style, options);
    if (options & LabelOption::Wrap)
        label->setWordWrap(true);
    if (options & LabelOption::Selectable) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setCursor(Qt::IBeamCursor);
    }
    return label;
}

ElidedLabel* elidedLabel(QWidget* parent, const QString& objectName, TextStyle style, Qt::TextElideMode mode,
                         LabelOptions options, int maximumLines)
{
    auto* label = new ElidedLabel(parent, mode, maximumLines);
    applyOptions(label, objectName, style, options);
    return label;
}

} // namespace orvalink::ui
