#include "ui/widgets/CardGridLayout.h"

#include <QWidget>
#include <algorithm>

namespace orvalink::ui {

CardGridLayout::CardGridLayout(int maximumColumns, int minimumColumnWidth, int spacing, QWidget* parent)
    : ArrangedLayout(parent), m_maximumColumns(std::max(1, maximumColumns)),
      m_minimumColumnWidth(std::max(1, minimumColumnWidth))
{
    setSpacing(spacing);
}

int CardGridLayout::columnsFor(int width) const
{
    const QMargins margins = contentsMargins();
    const int inner = width - margins.left() - margins.right();
    const int fitting = (inner + spacing()) / (m_minimumColumnWidth + spacing());
    return std::clamp(fitting, 1, m_maximumColumns);
}

QSize CardGridLayout::sizeHint() const
{
    const QList<QLayoutItem*> items = shownItems();
    int widest = m_minimumColumnWidth;
    for (const QLayoutItem* item : items)
        widest = std::max(widest, item->sizeHint().width());
    const int columns = std::max<int>(1, std::min<int>(m_maximumColumns, int(items.size())));
    const QMargins margins = contentsMargins();
    const int width = columns * widest + (columns - 1) * spacing() + margins.left() + margins.right();
    return QSize(width, heightForWidth(width));
}

int CardGridLayout::arrange(const QRect& rect, bool apply) const
{
    const QMargins margins = contentsMargins();
    const QRect area = rect.marginsRemoved(margins);
    const QList<QLayoutItem*> items = shownItems();
    const int columns = columnsFor(rect.width());
    const int columnWidth = std::max(1, (area.width() - (columns - 1) * spacing()) / columns);
    int y = area.y();
    for (qsizetype start = 0; start < items.size(); start += columns) {
        const qsizetype end = std::min<qsizetype>(items.size(), start + columns);
        int rowHeight = 0;
        for (qsizetype i = start; i < end; ++i) {
            const QLayoutItem* item = items.at(i);
            const int height =
                item->hasHeightForWidth() ? item->heightForWidth(columnWidth) : item->sizeHint().height();
            rowHeight = std::max(rowHeight, std::max(height, item->minimumSize().height()));
        }
        if (apply) {
            for (qsizetype i = start; i < end; ++i) {
                const int x = area.x() + int(i - start) * (columnWidth + spacing());
                items.at(i)->setGeometry(QRect(x, y, columnWidth, rowHeight));
            }
        }
        y += rowHeight + spacing();
    }
    const int used = items.isEmpty() ? 0 : y - spacing() - area.y();
    return used + margins.top() + margins.bottom();
}

} // namespace orvalink::ui
