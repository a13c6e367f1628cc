#include "ui/widgets/BusyIndicator.h"

namespace orvalink::ui {

BusyIndicator::BusyIndicator(const QString& objectName, QSize size, QWidget* parent) : QProgressBar(parent)
{
    setObjectName(objectName);
    setRange(0, 0);
    setTextVisible(false);
    setFixedSize(size);
    hide();
}

} // namespace orvalink::ui
