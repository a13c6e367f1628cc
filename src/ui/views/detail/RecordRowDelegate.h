#pragma once

#include "ui/views/detail/RecordRowLayout.h"

#include <QHash>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <functional>

namespace orvalink::ui {

// Paints the rows of a record list from a row layout: the tinted frame, then each part as the
// widget it stands for would draw itself (labels, path lines that lose their middle, the status
// chip, push buttons). A text cut short shows whole in its plain-text tool tip. The rows are as wide
// as the list; their height follows from the layout at that width.
//
// A row's texts and layout are dear (masked paths, formatted dates, measured buttons), and painting,
// sizing, tool tips and every pointer move need them: each row is laid out once per width and kept
// until forgetLayouts(). The list forgets them whenever its rows, their texts or its looks change.
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
    // Drops the kept layouts: the next use of each row lays it out anew.
    void forgetLayouts();

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The button of the row `index` under the pointer and the one held down (empty: none), drawn
    // hovered and sunken as a push button would be.
    void setActiveButtons(const QModelIndex& index, const QString& hovered, const QString& pressed);

private:
    struct KeptRow {
        int width = 0;
        QPalette::ColorGroup colors = QPalette::Active;
        RecordRow row; // laid out from the origin
    };

    // The row of `index` laid out across `bounds`, from the kept layout where one fits. Only
    // painting needs the colours of the option's colour group; measures and hit tests take any.
    RecordRow keptRow(const QModelIndex& index, const QRect& bounds, const QStyleOptionViewItem& option,
                      bool forPaint) const;

    Layout m_layout;
    mutable QHash<int, KeptRow> m_rows;
    QPersistentModelIndex m_activeIndex;
    QString m_hovered;
    QString m_pressed;
};

} // namespace orvalink::ui
