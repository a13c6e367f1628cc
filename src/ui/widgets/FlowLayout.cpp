#include "ui/widgets/FlowLayout.h"

#include <QWidget>
#include <algorithm>

namespace orvalink::ui {

FlowLayout::FlowLayout(QWidget* parent, int horizontalSpacing, int verticalSpacing)
    : ArrangedLayout(parent), m_hSpacing(horizontalSpacing), m_vSpacing(verticalSpacing)
{}

QSize FlowLayout::sizeHint() const
{
    // Everything on one line is the natural size; the height then follows the given width.
    int width = 0;
    int height = 0;
    int visible = 0;
    for (const QLayoutItem* item : shownItems()) {
        const QSize hint = item->sizeHint();
        width += hint.width() + (visible++ > 0 ? m_hSpacing : 0);
        height = std::max(height, hint.height());
    }
    const QMargins margins = contentsMargins();
    return QSize(width + margins.left() + margins.right(), height + margins.top() + margins.bottom());
}

int FlowLayout::arrange(const QRect& rect, bool apply) const
{
    const QMargins margins = contentsMargins();
    const QRect area = rect.marginsRemoved(margins);
    struct Placed {
        QLayoutItem* item;
        QSize size;
    };
    QList<Placed> line;
    int lineWidth = 0;
    int lineHeight = 0;
    int y = area.y();
    // Places the finished line at `y`, pushed to the right edge when the layout is right-aligned.
    const auto finishLine = [&] {
        if (apply) {
            int x = area.x() + (m_alignment & Qt::AlignRight ? std::max(0, area.width() - lineWidth) : 0);
            for (const Placed& placed : line) {
                placed.item->setGeometry(QRect(QPoint(x, y), placed.size));
                x += placed.size.width() + m_hSpacing;
            }
        }
        y += lineHeight + m_vSpacing;
        line.clear();
        lineWidth = 0;
        lineHeight = 0;
    };
    for (QLayoutItem* item : shownItems()) {
        QSize size = item->sizeHint();
        // An item wider than the whole line gets the line, down to its minimum: a label elides or
        // wraps there instead of reaching past the edge.
        if (size.width() > area.width()) {
            size.setWidth(std::max(item->minimumSize().width(), area.width()));
            if (item->hasHeightForWidth())
                size.setHeight(item->heightForWidth(size.width()));
        }
        // A line always takes its first item.
        if (!line.isEmpty() && lineWidth + m_hSpacing + size.width() > area.width())
            finishLine();
        lineWidth += (line.isEmpty() ? 0 : m_hSpacing) + size.width();
        lineHeight = std::max(lineHeight, size.height());
        line.append({item, size});
    }
    if (!line.isEmpty())
        finishLine();
    const int used = y == area.y() ? 0 : y - m_vSpacing - area.y();
    return used + margins.top() + margins.bottom();
}

} // namespace orvalink::ui
