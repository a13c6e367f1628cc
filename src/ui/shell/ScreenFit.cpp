#include "ui/shell/ScreenFit.h"

#include <algorithm>

namespace orvalink::ui {

namespace {

QSize room(QSize available, const QMargins& frame)
{
    return QSize(std::max(0, available.width() - frame.left() - frame.right()),
                 std::max(0, available.height() - frame.top() - frame.bottom()));
}

} // namespace

QSize leastContentSize(QSize designed, QSize available, const QMargins& frame)
{
    if (!available.isValid() || available.isEmpty())
        return designed;
    return designed.boundedTo(room(available, frame));
}

QSize firstContentSize(QSize preferred, QSize least, QSize available, const QMargins& frame)
{
    if (!available.isValid() || available.isEmpty())
        return preferred.expandedTo(least);
    return preferred.boundedTo(room(available, frame)).expandedTo(least);
}

} // namespace orvalink::ui
