#include "guide/ColumnFraming.h"

#include "ui/widgets/LayoutSettling.h"

#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <limits>
#include <vector>

namespace orvalink::guide {
namespace {

constexpr int kMargin = 12;
// How much each empty pixel costs, against one the bottom edge leaves out (which looks like the
// column's end): empty room at the top of a column looks broken; growing leaves room inside the
// list or panel that stretches, which looks emptier than it is.
constexpr qint64 kTopWeight = 8;
constexpr qint64 kGrowWeight = 2;

struct Span {
    QWidget* widget;
    int top;
    int bottom;
    // The viewport could show it whole: cutting it is what the picture avoids. One taller than the
    // viewport (a long panel) is cut whatever the scrolling.
    bool fitsView;
    // The spans of its descendants.
    std::vector<std::size_t> inside;
};

// Every shown widget of the column's content, in content coordinates.
std::vector<Span> shownSpans(const QScrollArea& column)
{
    std::vector<Span> spans;
    const QWidget* content = column.widget();
    if (!content)
        return spans;
    const int viewport = column.viewport()->height();
    for (QWidget* widget : content->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(content))
            continue;
        const int top = widget->mapTo(content, QPoint(0, 0)).y();
        spans.push_back({widget, top, top + widget->height(), widget->height() <= viewport, {}});
    }
    for (Span& outer : spans) {
        for (std::size_t i = 0; i < spans.size(); ++i) {
            // isAncestorOf() counts a widget as its own ancestor.
            if (spans[i].widget != outer.widget && outer.widget->isAncestorOf(spans[i].widget))
                outer.inside.push_back(i);
        }
    }
    return spans;
}

bool cuts(const Span& span, int y)
{
    return span.top < y && y < span.bottom;
}

bool showsSomethingWhole(const std::vector<Span>& spans, const Span& span, int top, int bottom)
{
    return std::any_of(span.inside.cbegin(), span.inside.cend(),
                       [&](std::size_t i) { return spans[i].top >= top && spans[i].bottom <= bottom; });
}

// What the edge at `y` of the view from `top` to `bottom` leaves out: the widgets it cuts that the
// viewport could show whole, and the taller ones of which nothing shows whole; the outermost only.
std::vector<std::size_t> leftOutAt(const std::vector<Span>& spans, int y, int top, int bottom)
{
    std::vector<std::size_t> cut;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        if (cuts(spans[i], y) && (spans[i].fitsView || !showsSomethingWhole(spans, spans[i], top, bottom)))
            cut.push_back(i);
    }
    std::vector<std::size_t> outermost;
    for (std::size_t i : cut) {
        const bool inner = std::any_of(cut.cbegin(), cut.cend(), [&](std::size_t other) {
            const std::vector<std::size_t>& inside = spans[other].inside;
            return std::find(inside.cbegin(), inside.cend(), i) != inside.cend();
        });
        if (!inner)
            outermost.push_back(i);
    }
    return outermost;
}

// How many rows of the view leaving out at the edge `y` empties.
int leftOutHeight(const std::vector<Span>& spans, int y, int top, int bottom)
{
    int height = 0;
    for (std::size_t i : leftOutAt(spans, y, top, bottom))
        height = std::max(height, std::min(spans[i].bottom, bottom) - std::max(spans[i].top, top));
    return height;
}

// Hides what the edges leave out, keeping its room.
void leaveOut(const std::vector<Span>& spans, int top, int bottom)
{
    for (int edge : {top, bottom}) {
        for (std::size_t i : leftOutAt(spans, edge, top, bottom)) {
            QWidget* widget = spans[i].widget;
            QSizePolicy policy = widget->sizePolicy();
            policy.setRetainSizeWhenHidden(true);
            widget->setSizePolicy(policy);
            widget->hide();
        }
    }
}

} // namespace

int edgeCut(const QScrollArea& column, int y)
{
    int worst = 0;
    for (const Span& span : shownSpans(column)) {
        if (cuts(span, y))
            worst = std::max(worst, span.fitsView ? 2 : 1);
    }
    return worst;
}

void frameColumn(QScrollArea& column, const ColumnRows& rows)
{
    QWidget* content = column.widget();
    if (!content)
        return;
    const int height = column.viewport()->height();
    const int contentHeight = content->height();
    const int end = std::max(0, contentHeight - height);
    const int last = std::min(std::max(0, rows.top - kMargin), end);
    const int first = std::min(std::max(0, rows.bottom + kMargin - height), last);
    // Beyond `end` the content grows. Only what lies above the grower keeps its place; rows below it
    // move down with the content's end, so they stay in view as long as they fit.
    int growLast = end;
    if (rows.grower && rows.grower->isVisibleTo(content) && rows.bottom - rows.top + 2 * kMargin <= height) {
        const int growerTop = rows.grower->mapTo(content, QPoint(0, 0)).y();
        growLast = rows.top <= growerTop ? std::min(rows.top - kMargin, growerTop) : growerTop;
    }

    std::vector<Span> spans = shownSpans(column);
    int best = first;
    qint64 bestCost = std::numeric_limits<qint64>::max();
    for (int value = first; value <= std::max(last, growLast); ++value) {
        if (value > last && value <= end)
            continue;
        const int bottom = value + height;
        const qint64 grown = std::max(0, value - end);
        const qint64 cost = kTopWeight * leftOutHeight(spans, value, value, bottom) +
                            (grown > 0 ? kGrowWeight * grown : leftOutHeight(spans, bottom, value, bottom));
        if (cost < bestCost) {
            bestCost = cost;
            best = value;
        }
    }
    if (best > end) {
        content->setMinimumHeight(contentHeight + best - end);
        ui::settleLayouts(*column.window());
        spans = shownSpans(column);
    }
    leaveOut(spans, best, best + height);
    column.verticalScrollBar()->setValue(best);
    column.horizontalScrollBar()->setValue(0);
}

} // namespace orvalink::guide
