#include "ui/widgets/ArrangedLayout.h"

namespace orvalink::ui {

ArrangedLayout::ArrangedLayout(QWidget* parent) : QLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
}

ArrangedLayout::~ArrangedLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void ArrangedLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
    invalidate();
}

QLayoutItem* ArrangedLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem* ArrangedLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem* item = m_items.takeAt(index);
    invalidate();
    return item;
}

QSize ArrangedLayout::minimumSize() const
{
    QSize size;
    for (const QLayoutItem* item : shownItems())
        size = size.expandedTo(item->minimumSize());
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

void ArrangedLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

QList<QLayoutItem*> ArrangedLayout::shownItems() const
{
    QList<QLayoutItem*> shown;
    for (QLayoutItem* item : m_items) {
        if (!item->isEmpty())
            shown.append(item);
    }
    return shown;
}

} // namespace orvalink::ui
