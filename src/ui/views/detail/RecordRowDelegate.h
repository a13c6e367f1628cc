#pragma once

#include "ui/views/detail/RecordRowLayout.h"

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <functional>

namespace orvalink::ui {

// Paints the rows of a record list from a row layout: the tinted frame, then each part as the
// widget it stands for would draw itself (labels, path lines that lose their middle, the status
// chip, push buttons). A text cut short shows whole in its plain-text tool tip. The rows are as wide
// as the list; their height follows from the layout at that width.
class RecordRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    // Lays out the row of `index` from the top-left of `bounds` across its width.
    using Layout = std::function<RecordRow(const QModelIndex& index, const QRect& bounds,
                                           const RecordRowMetrics& metrics)>;

    // The space between two rows, counted in the height of the row above it.
    static constexpr int rowGap = 8;

    explicit RecordRowDelegate(Layout layout, QObject* parent = nullptr);

    // The row of `index` laid out in `option.rect`.
    RecordRow layoutRow(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The button of the row `index` under the pointer and the one held down (empty: none), drawn
    // hovered and sunken as a push button would be.
    void setActiveButtons(const QModelIndex& index, const QString& hovered, const QString& pressed);

private:
    Layout m_layout;
    QPersistentModelIndex m_activeIndex;
    QString m_hovered;
    QString m_pressed;
};

} // namespace orvalink::ui
