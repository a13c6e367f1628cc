#pragma once

#include <QStyledItemDelegate>

namespace orvalink::ui {

// Paints a row of a DirectoryListModel and turns clicks into the model's row actions: the checkbox
// asks the source to change the selection (the box always shows the source's answer), the Open link
// opens the directory, a click elsewhere focuses the row and a double click opens a directory. A row
// whose name is drawn cut short shows the whole name (the model's tool-tip role) as a plain tip.
class DirectoryRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
};

} // namespace orvalink::ui
