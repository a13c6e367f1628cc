#include "ui/widgets/FittedScrollArea.h"

#include <QEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>

namespace orvalink::ui {

FittedScrollArea::FittedScrollArea(QWidget* parent) : SteadyScrollArea(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void FittedScrollArea::setHeightCap(int pixels)
{
    if (pixels == m_heightCap)
        return;
    m_heightCap = pixels;
    updateGeometry();
}

int FittedScrollArea::contentHeight() const
{
    const QWidget* content = widget();
    if (!content || content->isHidden())
        return 0;
    // A content whose height follows its width (wrapped text, rows that flow) is asked at the
    // width it has beside the scroll bar it may need.
    const int width = viewport()->width() > 0 ? viewport()->width() : content->sizeHint().width();
    if (content->hasHeightForWidth())
        return std::max(content->heightForWidth(width), content->minimumSizeHint().height());
    return content->sizeHint().height();
}

QSize FittedScrollArea::sizeHint() const
{
    int height = contentHeight() + 2 * frameWidth();
    if (m_heightCap > 0)
        height = std::min(height, m_heightCap);
    return {QScrollArea::sizeHint().width(), height};
}

QSize FittedScrollArea::minimumSizeHint() const
{
    return {QScrollArea::minimumSizeHint().width(), 0};
}

bool FittedScrollArea::eventFilter(QObject* watched, QEvent* event)
{
    // The content's height changed: the layout around asks again.
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return SteadyScrollArea::eventFilter(watched, event);
}

void FittedScrollArea::resizeEvent(QResizeEvent* event)
{
    SteadyScrollArea::resizeEvent(event);
    // Another width may give the content another height.
    if (event->size().width() != event->oldSize().width())
        updateGeometry();
}

} // namespace orvalink::ui
