#include "ui/widgets/SmallButton.h"

#include "ui/widgets/TextStyles.h"

#include <QPushButton>

namespace orvalink::ui {

QPushButton* smallButton(QWidget* parent, const QString& objectName)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(objectName);
    applyTextStyle(button, TextStyle::Subheadline);
    return button;
}

} // namespace orvalink::ui
