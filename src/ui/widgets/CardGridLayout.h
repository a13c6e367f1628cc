#pragma once

#include <QLayout>
#include <QList>

namespace orvalink::ui {

// Cards in rows of equal columns: as many columns (up to `maximumColumns`) as the width holds at
// `minimumColumnWidth` each, so a two-by-two grid becomes one column where it is narrow instead of
// reaching past its place. Every card of a row is as tall as the tallest; the height follows the
// width (heightForWidth).
class CardGridLayout : public QLayout {
    Q_OBJECT

public:
    CardGridLayout(int maximumColumns, int minimumColumnWidth, int spacing, QWidget* parent = nullptr);
    ~CardGridLayout() override;

    // The columns used at `width` (the layout's own width, margins included).
    int columnsFor(int width) const;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;

    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the cards in `rect` (only measures when `apply` is false); returns the height used.
    int arrange(const QRect& rect, bool apply) const;
    QList<QLayoutItem*> shownItems() const;

    QList<QLayoutItem*> m_items;
    int m_maximumColumns;
    int m_minimumColumnWidth;
};

} // namespace orvalink::ui
