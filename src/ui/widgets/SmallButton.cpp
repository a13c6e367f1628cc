#include "ui/widgets/SmallButton.h"

#include "ui/widgets/RunButton.h"
#include "ui/widgets/TextStyles.h"

#include <QPushButton>

namespace orvalink::ui {

namespace {

QPushButton* small(QPushButton* button, const QString& objectName)
{
    button->setObjectName(objectName);
    applyTextStyle(button, TextStyle::Subheadline);
    return button;
}

} // namespace

QPushButton* smallButton(QWidget* parent, const QString& objectName)
{
    return small(new QPushButton(parent), objectName);
}

QPushButton* smallRunButton(QWidget* parent, const QString& objectName)
{
    return small(new RunButton(parent), objectName);
}

} // namespace orvalink::ui
