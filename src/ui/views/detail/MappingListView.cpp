#include "ui/views/detail/MappingListView.h"

#include "ui/models/MappingListModel.h"
#include "ui/views/common/PathContextMenu.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Presentation.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollArea>

namespace orvalink::ui {

namespace {

constexpr int kRowGap = 3; // around each row: 6 between two rows

} // namespace

QMenu* createMappingPathMenu(MainViewModel& viewModel, const LinkMapping& mapping, MappingRowPart part,
                             QWidget* parent)
{
    if (part != MappingRowPart::sourcePath && part != MappingRowPart::targetPath)
        return nullptr;
    return createPathContextMenu(
        viewModel, part == MappingRowPart::sourcePath ? mapping.sourcePath : mapping.targetPath, parent);
}

QMenu* createMappingRecordMenu(MainViewModel& viewModel, const LinkMapping& mapping, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    // As wide as a column's line at most: a long path gives up its middle, as the line does.
    const QFontMetrics metrics = menu->fontMetrics();
    const int widest = metrics.averageCharWidth() * 60;
    const QStringList lines = MappingRowDelegate::pathLines(viewModel.presentation(), mapping);
    const MappingRowPart parts[] = {MappingRowPart::sourcePath, MappingRowPart::targetPath};
    for (int i = 0; i < 2; ++i) {
        QMenu* pathMenu = createMappingPathMenu(viewModel, mapping, parts[i], menu);
        // A "&" of a path is no mnemonic.
        pathMenu->setTitle(metrics.elidedText(lines.at(i), Qt::ElideMiddle, widest)
                               .replace(QLatin1Char('&'), QStringLiteral("&&")));
        menu->addMenu(pathMenu);
    }
    return menu;
}

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
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    // Rows that come and go leave the current row on a record that is still listed.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (hasFocus() && m_model->rowCount() > 0)
            setCurrentIndex(m_model->index(0));
    });
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

void MappingListView::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex current = currentIndex();
    if ((event->key() == Qt::Key_Space || event->key() == Qt::Key_Select) && current.isValid()) {
        Q_EMIT rowToggled(m_model->mappingAt(current.row()).id);
        event->accept();
        return;
    }
    // The window system turns the menu key into a context-menu event, but not Shift+F10.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        requestRecordMenu();
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void MappingListView::focusInEvent(QFocusEvent* event)
{
    // The focus lands on a row the user can see, so Space has a record to mark.
    if (!currentIndex().isValid() && m_model->rowCount() > 0) {
        const QModelIndex top = indexAt(QPoint(kRowGap, kRowGap));
        setCurrentIndex(top.isValid() ? top : m_model->index(0));
    }
    QListView::focusInEvent(event);
    if (currentIndex().isValid())
        showCurrentRow();
}

void MappingListView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QListView::currentChanged(current, previous);
    if (hasFocus() && current.isValid())
        showCurrentRow();
}

void MappingListView::showCurrentRow()
{
    scrollTo(currentIndex());
    // The list may itself stand partly out of its column's view: the column scrolls to the row.
    for (QWidget* above = parentWidget(); above; above = above->parentWidget()) {
        auto* column = qobject_cast<QScrollArea*>(above);
        if (!column || !column->widget() || !column->widget()->isAncestorOf(this))
            continue;
        const QRect row = visualRect(currentIndex());
        const QPoint middle = viewport()->mapTo(column->widget(), row.center());
        column->ensureVisible(middle.x(), middle.y(), 0, row.height() / 2 + 2 * kRowGap);
        return;
    }
}

void MappingListView::requestRecordMenu()
{
    const QModelIndex current = currentIndex();
    if (current.isValid())
        Q_EMIT contextMenuRequested(m_model->mappingAt(current.row()), MappingRowPart::record,
                                    viewport()->mapToGlobal(visualRect(current).center()));
}

void MappingListView::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Keyboard) {
        requestRecordMenu();
        return;
    }
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid())
        return;
    const MappingRowPart part = MappingRowDelegate::partAt(visualRect(index), font(), event->pos());
    Q_EMIT contextMenuRequested(m_model->mappingAt(index.row()), part, event->globalPos());
}

} // namespace orvalink::ui
