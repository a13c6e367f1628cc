#include "ui/views/sidebar/DirectoryListView.h"

#include "ui/models/DirectoryListModel.h"
#include "ui/views/sidebar/DirectoryRowDelegate.h"
#include "ui/widgets/FocusRing.h"

#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

namespace orvalink::ui {

DirectoryListView::DirectoryListView(DirectoryListModel* model, QWidget* parent)
    : QListView(parent), m_model(model)
{
    setObjectName(QStringLiteral("directoryList"));
    setModel(model);
    setItemDelegate(new DirectoryRowDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &DirectoryListView::showContextMenu);
    // Space and Return act on a row from the first key on, one the user sees: also in a folder just
    // opened from the keyboard, a listing the focused entry left, or one that sorted it out of view
    // (the sizes of a first scan arriving).
    connect(model, &QAbstractItemModel::modelReset, this, &DirectoryListView::focusWholeRowIfCut);
}

QSize DirectoryListView::sizeHint() const
{
    return QSize(QListView::sizeHint().width(), minimumHeight());
}

void DirectoryListView::paintEvent(QPaintEvent* event)
{
    QListView::paintEvent(event);
    QPainter painter(viewport());
    paintFocusRing(&painter, this, QRectF(viewport()->rect()), 4);
}

void DirectoryListView::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    if (hasFocus())
        viewport()->update();
}

void DirectoryListView::scrollToFocus()
{
    const int row = m_model->syncFocus();
    if (row >= 0)
        scrollTo(m_model->index(row));
}

void DirectoryListView::focusInEvent(QFocusEvent* event)
{
    QListView::focusInEvent(event);
    // A click gives the list the focus before the press arrives: the press picks the row, and the
    // rows must not move under the pointer first.
    if (event->reason() != Qt::MouseFocusReason)
        focusWholeRowIfCut();
}

void DirectoryListView::focusWholeRowIfCut()
{
    if (m_model->rowCount() == 0)
        return;
    const int focused = m_model->syncFocus();
    // Without the keyboard focus the list only keeps a row it paints as focused in view.
    if (!isVisible() || (focused < 0 && !hasFocus()))
        return;
    const QRect shown = viewport()->rect();
    const QRect focusedRect = focused >= 0 ? visualRect(m_model->index(focused)) : QRect();
    if (focused >= 0 && shown.contains(focusedRect))
        return;
    // The rows wholly in view; a listing not laid out yet starts at its first row, where it will show.
    const QModelIndex top = indexAt(shown.topLeft());
    if (!top.isValid()) {
        m_model->focusRow(0);
        return;
    }
    const QModelIndex bottom = indexAt(shown.bottomLeft());
    int first = top.row() + (visualRect(top).top() < shown.top() ? 1 : 0);
    int last = bottom.isValid() ? bottom.row() - (visualRect(bottom).bottom() > shown.bottom() ? 1 : 0)
                                : m_model->rowCount() - 1;
    if (first > last)
        first = last = top.row();
    // A row cut at an edge gives the focus to its whole neighbour; a row out of view to the top row
    // in view, so the keys start where the user is looking. Nothing scrolls.
    const bool partly = focused >= 0 && shown.intersects(focusedRect);
    m_model->focusRow(partly ? std::clamp(focused, first, last) : first);
}

void DirectoryListView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        m_model->source().focusPreviousEntry();
        scrollToFocus();
        break;
    case Qt::Key_Down:
        m_model->source().focusNextEntry();
        scrollToFocus();
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Consumed even when nothing is focused or the focused entry is a file.
        m_model->source().openFocusedEntry();
        break;
    case Qt::Key_Space: {
        // Ticks the focused row's box, as a click on it does.
        const int row = m_model->syncFocus();
        if (row >= 0)
            m_model->setRowSelected(row,
                                    !m_model->index(row).data(DirectoryListModel::IsSelectedRole).toBool());
        break;
    }
    default:
        QListView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void DirectoryListView::wheelEvent(QWheelEvent* event)
{
    QListView::wheelEvent(event);
    event->accept();
}

void DirectoryListView::showContextMenu(const QPoint& position)
{
    const QPersistentModelIndex index(indexAt(position));
    if (!index.isValid())
        return;
    if (m_contextMenu)
        m_contextMenu->close();
    const DirectoryListTexts texts = m_model->source().texts();
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("directoryListContextMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The rows may have changed while the menu was open: act only on a row that still exists.
    menu->addAction(texts.openContainingDirectory, this, [this, index] {
        if (index.isValid())
            m_model->openContainingDirectory(index.row());
    });
    menu->addAction(texts.revealInFileManager, this, [this, index] {
        if (index.isValid())
            m_model->revealRow(index.row());
    });
    m_contextMenu = menu;
    menu->popup(viewport()->mapToGlobal(position));
}

} // namespace orvalink::ui
