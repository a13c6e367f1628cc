#include "ui/views/sidebar/DirectoryRowDelegate.h"

#include "ui/models/DirectoryListModel.h"
#include "ui/views/sidebar/DirectoryRowLayout.h"
#include "ui/views/sidebar/TabularText.h"
#include "ui/widgets/PlainToolTip.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace orvalink::ui {

namespace {

QColor fadedBy(QColor color, qreal alpha)
{
    color.setAlphaF(float(color.alphaF() * alpha));
    return color;
}

void paintCheckbox(QPainter* painter, const QStyleOptionViewItem& option, const QRect& rect, bool checked)
{
    QStyleOptionViewItem box(option);
    box.rect = rect;
    box.state = (option.state & QStyle::State_Enabled) | (checked ? QStyle::State_On : QStyle::State_Off);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, widget);
}

void paintBadge(QPainter* painter, const DirectoryRowBadge& badge)
{
    const QColor color = badge.color();
    const qreal radius = badge.rect.height() / 2.0;
    painter->setPen(Qt::NoPen);
    painter->setBrush(fadedBy(color, badge.backgroundAlpha()));
    painter->drawRoundedRect(QRectF(badge.rect), radius, radius);
    painter->setPen(color);
    painter->drawText(badge.rect, Qt::AlignCenter, badge.text);
}

// Opening replaces the listing, possibly at once; the view still uses the clicked index after this
// event returns, so the navigation waits for the event loop.
void openLater(DirectoryListModel* model, const QModelIndex& index)
{
    const QPersistentModelIndex clicked(index);
    QMetaObject::invokeMethod(
        model,
        [model, clicked] {
            if (clicked.isValid())
                model->openRow(clicked.row());
        },
        Qt::QueuedConnection);
}

} // namespace

QSize DirectoryRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    // Rows stretch to the view's width; the height is the same for every row (uniform sizes).
    return QSize(1, DirectoryRowLayout::rowHeight);
}

void DirectoryRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const
{
    const DirectoryRowLayout layout = DirectoryRowLayout::compute(option.rect, index, option.font);
    const QPalette& palette = option.palette;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    if (index.data(DirectoryListModel::IsFocusedRole).toBool()) {
        const QRectF background = QRectF(option.rect).adjusted(2, 1, -2, -1);
        painter->setPen(Qt::NoPen);
        painter->setBrush(fadedBy(palette.color(QPalette::Highlight), 0.18));
        painter->drawRoundedRect(background, 6, 6);
    }

    paintCheckbox(painter, option, layout.checkbox, index.data(DirectoryListModel::IsSelectedRole).toBool());

    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    if (!icon.isNull())
        icon.paint(painter, layout.icon);

    const QColor text = palette.color(QPalette::Text);
    painter->setFont(DirectoryRowLayout::bodyFont(option.font));
    painter->setPen(text);
    painter->drawText(layout.name, Qt::AlignLeft | Qt::AlignVCenter, layout.elidedName);

    painter->setPen(fadedBy(text, 0.55));
    TabularText::drawRightAligned(painter, layout.size, layout.sizeText);

    if (!layout.open.isEmpty()) {
        painter->setPen(palette.color(QPalette::Highlight));
        painter->drawText(layout.open, Qt::AlignLeft | Qt::AlignVCenter, layout.openText);
    }

    painter->setFont(DirectoryRowLayout::badgeFont(option.font));
    for (const DirectoryRowBadge& badge : layout.badges)
        paintBadge(painter, badge);
    painter->restore();
}

bool DirectoryRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                     const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip || !view || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const DirectoryRowLayout layout = DirectoryRowLayout::compute(option.rect, index, option.font);
    const QString name = index.data(Qt::ToolTipRole).toString();
    // A name shown whole needs no tip; a cut one shows whole, never read as markup.
    if (layout.elidedName == index.data(Qt::DisplayRole).toString() || name.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), plainToolTip(name), view->viewport(), option.rect);
    return true;
}

bool DirectoryRowDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                       const QStyleOptionViewItem& option, const QModelIndex& index)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return false;
    auto* listModel = qobject_cast<DirectoryListModel*>(model);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (!listModel || !index.isValid() || mouse->button() != Qt::LeftButton)
        return false;

    const DirectoryRowLayout layout = DirectoryRowLayout::compute(option.rect, index, option.font);
    const QPoint at = mouse->position().toPoint();
    const int row = index.row();
    // The checkbox's hit area is the whole 18-pixel column, the height of the row.
    const bool onCheckbox = at.x() >= layout.checkbox.left() && at.x() <= layout.checkbox.right();
    const bool onOpen = !layout.open.isEmpty() && layout.open.adjusted(-4, -4, 4, 4).contains(at);

    // Actions fire on release (a completed click) and on the double click itself.
    if (type == QEvent::MouseButtonRelease) {
        if (onCheckbox)
            listModel->setRowSelected(row, !index.data(DirectoryListModel::IsSelectedRole).toBool());
        else if (onOpen)
            openLater(listModel, index);
        else
            listModel->focusRow(row);
    } else if (type == QEvent::MouseButtonDblClick && !onCheckbox && !onOpen) {
        openLater(listModel, index);
    }
    return true;
}

} // namespace orvalink::ui
