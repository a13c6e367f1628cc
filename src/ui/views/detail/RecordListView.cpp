#include "ui/views/detail/RecordListView.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QScrollBar>

namespace orvalink::ui {

RecordListView::RecordListView(QAbstractItemModel* model, RecordRowDelegate::Layout layout, bool uniformRows,
                               const QString& objectName, QWidget* parent)
    : QListView(parent), m_delegate(new RecordRowDelegate(std::move(layout), this))
{
    setObjectName(objectName);
    setModel(model);
    setItemDelegate(m_delegate);
    setUniformItemSizes(uniformRows);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // The rows lie on the window colour, as the widgets of a scroll area do.
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setMouseTracking(true);
    // Each row counts the gap below it; the last row's gap lies below the visible part, so rows that
    // fit show no scroll bar and the last one ends at the list's bottom edge.
    setViewportMargins(0, 0, 0, -RecordRowDelegate::rowGap);
    // The kept row layouts are dropped before the list measures its rows again.
    connect(model, &QAbstractItemModel::rowsMoved, this, [this] { m_delegate->forgetLayouts(); });
    const auto rowsChanged = [this] {
        m_delegate->forgetLayouts();
        fitHeight();
    };
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model, signal, this, rowsChanged);
    connect(model, &QAbstractItemModel::modelReset, this, rowsChanged);
    connect(model, &QAbstractItemModel::layoutChanged, this, rowsChanged);
}

void RecordListView::setMaximumContentHeight(int maximum)
{
    m_maximumHeight = maximum;
    fitHeight();
}

int RecordListView::contentHeight() const
{
    const int rows = model()->rowCount();
    const int first = rows > 0 ? sizeHintForRow(0) : 0;
    int total = first;
    for (int row = 1; row < rows && total - RecordRowDelegate::rowGap < m_maximumHeight; ++row)
        total += sizeHintForRow(row);
    // Never shorter than the first record: one taller than the most (both languages, a long
    // reason) shows whole, its buttons too, rather than cut by the list's edge.
    return std::clamp(total - RecordRowDelegate::rowGap, 0,
                      std::max(m_maximumHeight, first - RecordRowDelegate::rowGap));
}

void RecordListView::fitHeight()
{
    if (m_maximumHeight > 0)
        setFixedHeight(contentHeight());
}

RecordRow RecordListView::rowLayout(int row) const
{
    const QModelIndex index = model()->index(row, 0);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    return m_delegate->layoutRow(option, index);
}

RecordListView::ButtonHit RecordListView::buttonAt(const QPoint& point) const
{
    const QModelIndex index = indexAt(point);
    if (!index.isValid())
        return {};
    const RecordRow row = rowLayout(index.row());
    const RecordRowPart* part = row.partAt(point);
    if (!part || part->kind != RecordRowPart::Kind::button || !part->enabled)
        return {};
    return {index, part->name};
}

void RecordListView::setActiveButtons(const ButtonHit& hovered, const ButtonHit& pressed)
{
    if (hovered == m_hovered && pressed == m_pressed)
        return;
    for (const QPersistentModelIndex& index :
         {m_hovered.index, m_pressed.index, hovered.index, pressed.index}) {
        if (index.isValid())
            viewport()->update(visualRect(index));
    }
    m_hovered = hovered;
    m_pressed = pressed;
    // The delegate draws one row's buttons as active: the pressed one's while a press lasts. A
    // pressed button is sunken only while the pointer is on it, as a push button is.
    const ButtonHit& row = pressed.index.isValid() ? pressed : hovered;
    const bool sunken = pressed.index.isValid() && hovered == pressed;
    m_delegate->setActiveButtons(row.index, hovered.index == row.index ? hovered.name : QString(),
                                 sunken ? pressed.name : QString());
}

bool RecordListView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Leave)
        setActiveButtons({}, m_pressed);
    return QListView::viewportEvent(event);
}

void RecordListView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const ButtonHit hit = buttonAt(event->position().toPoint());
        setActiveButtons(hit, hit);
    }
    QListView::mousePressEvent(event);
}

void RecordListView::mouseMoveEvent(QMouseEvent* event)
{
    setActiveButtons(buttonAt(event->position().toPoint()), m_pressed);
    QListView::mouseMoveEvent(event);
}

void RecordListView::mouseReleaseEvent(QMouseEvent* event)
{
    const ButtonHit pressed = m_pressed;
    const ButtonHit hit = buttonAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        setActiveButtons(hit, {});
    QListView::mouseReleaseEvent(event);
    // Last: the action may change the list.
    if (event->button() == Qt::LeftButton && pressed.index.isValid() && hit == pressed)
        Q_EMIT buttonClicked(pressed.index.row(), pressed.name);
}

void RecordListView::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid())
        return;
    const RecordRow row = rowLayout(index.row());
    const RecordRowPart* part = row.partAt(event->pos());
    if (part && part->kind == RecordRowPart::Kind::path)
        Q_EMIT pathMenuRequested(part->path, event->globalPos());
}

void RecordListView::resizeEvent(QResizeEvent* event)
{
    QListView::resizeEvent(event);
    // The rows' heights follow the width: a list view lays its rows out again only on a change of
    // height.
    if (viewport()->width() != m_laidOutWidth) {
        m_laidOutWidth = viewport()->width();
        m_delegate->forgetLayouts();
        scheduleDelayedItemsLayout();
        fitHeight();
    }
}

void RecordListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                 const QList<int>& roles)
{
    // New texts may take another height.
    m_delegate->forgetLayouts();
    QListView::dataChanged(topLeft, bottomRight, roles);
    scheduleDelayedItemsLayout();
    fitHeight();
}

void RecordListView::changeEvent(QEvent* event)
{
    // The rows take their fonts, colours and measures from the list.
    const QEvent::Type type = event->type();
    if (type == QEvent::FontChange || type == QEvent::PaletteChange || type == QEvent::StyleChange)
        m_delegate->forgetLayouts();
    QListView::changeEvent(event);
}

void RecordListView::updateGeometries()
{
    QListView::updateGeometries();
    // A page is what shows: the viewport without the hidden gap below it.
    verticalScrollBar()->setPageStep(std::max(0, viewport()->height() - RecordRowDelegate::rowGap));
}

} // namespace orvalink::ui
