#pragma once

class QScrollArea;
class QWidget;

namespace orvalink::guide {

// How a column of a tutorial picture is framed. A picture shows the rows it is about whole, and its
// edges cut nothing the reader could have seen whole: the column is scrolled so that its top and
// bottom edges fall between rows, or through a panel taller than the picture between its parts.
// Where an edge cannot, what it would cut is left out (its room stays, empty), and the picture ends
// there as a column ends.
struct ColumnRows {
    // The rows to show, in the coordinates of the column's content; with a margin around them
    // where the viewport has room.
    int top = 0;
    int bottom = 0;
    // The widget that takes any height the column grows by (its layout's stretch), or none. A
    // column may grow so that its end rather than a row meets the bottom edge.
    const QWidget* grower = nullptr;
};

// Scrolls `column` (laid out, with its scroll bars off) to frame `rows`, never sideways, as little
// as it takes among the positions that leave out least: what would be left out at the top edge
// weighs most (a picture is read from the top), then what the column grows by, then what the
// bottom edge leaves out. Where the rows are taller than the viewport their top wins.
void frameColumn(QScrollArea& column, const ColumnRows& rows);

// How badly the edge at content row `y` cuts `column`'s shown content: 0 between rows (or beyond
// the content), 1 only through widgets taller than the viewport, 2 through one the viewport could
// show whole.
int edgeCut(const QScrollArea& column, int y);

} // namespace orvalink::guide
