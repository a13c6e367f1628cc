#include "ui/views/detail/MappingListView.h"

#include "ui/models/MappingListModel.h"

#include <QContextMenuEvent>
#include <QMouseEvent>

namespace orvalink::ui {

namespace {

constexpr int kRowGap = 3; // around each row: 6 between two rows

} // namespace

MappingListView::MappingListView(MainViewModel& viewModel, const QString& objectName, QWidget* parent)
    : QListView(parent), m_model(new MappingListModel(this))
{
    setObjectName(objectName);
    setModel(m_model);
    setItemDelegate(new MappingRowDelegate(viewModel, this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setSpacing(kRowGap);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setMouseTracking(false);
    viewport()->setAutoFillBackground(false);
}

int MappingListView::contentHeight(int maximum) const
{
    const qint64 rows = m_model->rowCount();
    const qint64 needed = rows * (MappingRowDelegate::rowHeight(font()) + 2 * kRowGap) + 2 * frameWidth();
    return int(maximum > 0 ? std::min<qint64>(needed, maximum) : needed);
}

void MappingListView::mouseReleaseEvent(QMouseEvent* event)
{
    QListView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        Q_EMIT rowToggled(m_model->mappingAt(index.row()).id);
}

void MappingListView::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid())
        return;
    const MappingRowPart part = MappingRowDelegate::partAt(visualRect(index), font(), event->pos());
    Q_EMIT contextMenuRequested(m_model->mappingAt(index.row()), part, event->globalPos());
}

} // namespace orvalink::ui
