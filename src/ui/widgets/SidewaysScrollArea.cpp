#include "ui/widgets/SidewaysScrollArea.h"

#include <QEvent>
#include <QStyle>

namespace orvalink::ui {

SidewaysScrollArea::SidewaysScrollArea(QWidget* parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void SidewaysScrollArea::setContent(QWidget* content)
{
    // QScrollArea watches its content with this object's event filter.
    setWidget(content);
    fitHeight();
}

bool SidewaysScrollArea::overflows() const
{
    return widget() && widget()->minimumSizeHint().width() > width();
}

bool SidewaysScrollArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == widget() && (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize))
        fitHeight();
    return QScrollArea::eventFilter(watched, event);
}

void SidewaysScrollArea::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    fitHeight();
}

void SidewaysScrollArea::fitHeight()
{
    if (!widget())
        return;
    const int bar = overflows() ? style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this) : 0;
    const int height = widget()->minimumSizeHint().height() + bar;
    if (height != this->height() || minimumHeight() != height)
        setFixedHeight(height);
}

} // namespace orvalink::ui
