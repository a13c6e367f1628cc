#include "ui/widgets/PlainCard.h"

namespace orvalink::ui {

PlainCard::PlainCard(const QString& objectName, QWidget* parent) : QFrame(parent)
{
    setObjectName(objectName);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

} // namespace orvalink::ui
