#pragma once

#include "ui/widgets/ArrangedLayout.h"

namespace orvalink::ui {

// Cards in rows of equal columns: as many columns (up to `maximumColumns`) as the width holds at
// `minimumColumnWidth` each, so a two-by-two grid becomes one column where it is narrow instead of
// reaching past its place. Every card of a row is as tall as the tallest; the height follows the
// width (heightForWidth).
class CardGridLayout : public ArrangedLayout {
    Q_OBJECT

public:
    CardGridLayout(int maximumColumns, int minimumColumnWidth, int spacing, QWidget* parent = nullptr);

    // The columns used at `width` (the layout's own width, margins included).
    int columnsFor(int width) const;

    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    QSize sizeHint() const override;

protected:
    int arrange(const QRect& rect, bool apply) const override;

private:
    int m_maximumColumns;
    int m_minimumColumnWidth;
};

} // namespace orvalink::ui
