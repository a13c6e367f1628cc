#include "ui/views/common/BusyIndicator.h"

#include <QProgressBar>

namespace orvalink::ui {

QProgressBar* createBusyIndicator(QWidget* parent)
{
    auto* bar = new QProgressBar(parent);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedSize(36, 8);
    return bar;
}

} // namespace orvalink::ui
