#include "ui/widgets/BreadcrumbRow.h"

#include "ui/widgets/Chip.h"
#include "ui/widgets/PlainToolTip.h"
#include "ui/widgets/TabOrder.h"

#include <QEvent>
#include <algorithm>
#include <numeric>

namespace orvalink::ui {

namespace {

// The least text a chip keeps: a character either side of "…".
int leastTextWidth(const Chip& chip)
{
    return chip.fontMetrics().horizontalAdvance(QStringLiteral("W…W"));
}

// How many characters of a name still read as that name, its start and end either side of "…".
constexpr int kReadableCharacters = 24;

// Takes up to `excess` pixels from the chips `group` indexes in `widths`, none below its entry in
// `least`: the widest give first, so the chips of a group end up alike (a common cap). Returns
// what is still to take.
int shrinkGroup(QList<int>& widths, const QList<int>& least, const QList<qsizetype>& group, int excess)
{
    while (excess > 0) {
        int widest = 0;
        int count = 0;
        int next = 0;
        for (qsizetype i : group) {
            if (widths.at(i) <= least.at(i))
                continue;
            if (widths.at(i) > widest) {
                next = widest;
                widest = widths.at(i);
                count = 1;
            } else if (widths.at(i) == widest) {
                ++count;
            } else {
                next = std::max(next, widths.at(i));
            }
        }
        if (count == 0)
            break;
        // Bring the widest down towards the next widest, by no more than is needed.
        const int step = std::max(1, std::min(widest - next, (excess + count - 1) / count));
        for (qsizetype i : group) {
            if (excess > 0 && widths.at(i) == widest) {
                const int cut = std::min({step, widths.at(i) - least.at(i), excess});
                widths[i] -= cut;
                excess -= cut;
            }
        }
    }
    return excess;
}

} // namespace

BreadcrumbRow::BreadcrumbRow(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void BreadcrumbRow::placeChips()
{
    QList<QWidget*> order;
    for (Chip* chip : m_chips.widgets()) {
        // A kept chip stays as it is: a new parent would hide it and take its focus.
        if (chip->parentWidget() != this)
            chip->setParent(this);
        order.append(chip);
    }
    placeInTabOrder(this, order);
    updateGeometry();
    arrange();
}

int BreadcrumbRow::readableTextWidth(const Chip& chip)
{
    return chip.fontMetrics().averageCharWidth() * kReadableCharacters;
}

int BreadcrumbRow::rowHeight() const
{
    int height = 0;
    for (const Chip* chip : m_chips.widgets())
        height = std::max(height, chip->sizeHint().height());
    return height;
}

QSize BreadcrumbRow::sizeHint() const
{
    const QList<Chip*>& chips = m_chips.widgets();
    int width = 0;
    for (const Chip* chip : chips) {
        const int textWidth = chip->fontMetrics().horizontalAdvance(chip->text());
        width +=
            chip->sizeHint().width() - chip->fontMetrics().horizontalAdvance(chip->shownText()) + textWidth;
    }
    if (!chips.isEmpty())
        width += m_spacing * int(chips.size() - 1);
    return QSize(width, rowHeight());
}

QSize BreadcrumbRow::minimumSizeHint() const
{
    return QSize(0, rowHeight());
}

bool BreadcrumbRow::event(QEvent* event)
{
    // A chip's font or text changed: its width did too.
    if (event->type() == QEvent::LayoutRequest)
        arrange();
    return QWidget::event(event);
}

void BreadcrumbRow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange();
}

void BreadcrumbRow::arrange()
{
    const QList<Chip*>& chips = m_chips.widgets();
    const qsizetype count = chips.size();
    QList<int> widths;
    QList<int> readable;
    QList<int> least;
    QList<int> padding;
    for (Chip* chip : chips) {
        const int text = chip->fontMetrics().horizontalAdvance(chip->text());
        const int pad = chip->sizeHint().width() - chip->fontMetrics().horizontalAdvance(chip->shownText());
        padding.append(pad);
        widths.append(pad + text);
        readable.append(pad + std::min(text, readableTextWidth(*chip)));
        least.append(pad + std::min(text, leastTextWidth(*chip)));
    }
    int excess = std::accumulate(widths.cbegin(), widths.cend(), 0) +
                 m_spacing * int(std::max<qsizetype>(0, count - 1)) - width();
    QList<qsizetype> middle;
    for (qsizetype i = 1; i + 1 < count; ++i)
        middle.append(i);
    const QList<qsizetype> first{0};
    const QList<qsizetype> last{count - 1};
    // The long name of the current place gives way first, down to what still reads; then long
    // parents, the middle ones first; short names stay whole. Only then does each go down to its
    // least, the current place last.
    if (count > 0)
        excess = shrinkGroup(widths, readable, last, excess);
    excess = shrinkGroup(widths, readable, middle, excess);
    if (count > 1)
        excess = shrinkGroup(widths, readable, first, excess);
    excess = shrinkGroup(widths, least, middle, excess);
    if (count > 1)
        excess = shrinkGroup(widths, least, first, excess);
    if (count > 0)
        excess = shrinkGroup(widths, least, last, excess);
    // A path deeper than the row can show even with every chip at its least: middle chips go,
    // the first of them first, rather than the row cutting the current folder off.
    QList<bool> shown(count, true);
    for (qsizetype i = 1; excess > 0 && i + 1 < count; ++i) {
        shown[i] = false;
        excess -= widths.at(i) + m_spacing;
    }

    const int height = rowHeight();
    int x = 0;
    for (qsizetype i = 0; i < count; ++i) {
        Chip* chip = chips.at(i);
        chip->setVisible(shown.at(i));
        if (!shown.at(i))
            continue;
        const int natural = padding.at(i) + chip->fontMetrics().horizontalAdvance(chip->text());
        const bool whole = widths.at(i) >= natural;
        // Chip measures its own text again; its limit is the room inside the padding.
        chip->setMaximumTextWidth(whole ? 0 : widths.at(i) - padding.at(i));
        setPlainToolTip(chip, chip->shownText() == chip->text() ? QString() : chip->text());
        const int chipHeight = chip->sizeHint().height();
        chip->setGeometry(x, (height - chipHeight) / 2, widths.at(i), chipHeight);
        x += widths.at(i) + m_spacing;
    }
}

} // namespace orvalink::ui
