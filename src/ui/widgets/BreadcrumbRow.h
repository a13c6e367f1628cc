#pragma once

#include "ui/widgets/KeyedWidgets.h"

#include <QList>
#include <QWidget>

namespace orvalink::ui {

class Chip;

// A one-line row of chips that never scrolls: while the row is wide enough every chip shows its
// whole text; otherwise chips give up width: first the last one (the current place, often the one
// long name) down to readableTextWidth(), then the longer parents (the middle ones first, the widest
// first, then the first one) down to that width, so short names stay whole; only then each down to
// a few characters, the current place last; should even that not fit, middle chips hide. A chip
// cut short loses its middle to "…" (Chip elides) and carries its whole text as a plain tool tip.
// The row asks for the width of all chips whole but makes do with little, so a long name never
// widens the column it is in.
class BreadcrumbRow : public QWidget {
    Q_OBJECT

public:
    explicit BreadcrumbRow(QWidget* parent = nullptr);

    // Makes the chips stand for `items`, in their order, kept by `keyOf(item)` as KeyedWidgets
    // keeps its widgets: the chip of a key that stays is kept (and with it the keyboard focus), a
    // new key gets `make(item)`, and every chip then gets `update(chip, item)`. The chip of a key
    // that is gone is hidden and deleted later: the chip clicked may be the one asking for the
    // change. The chips become the row's children; in the keyboard's Tab order they stand where
    // the row stands.
    template <typename Item, typename KeyOf, typename Make, typename Update>
    void syncChips(const QList<Item>& items, KeyOf keyOf, Make make, Update update)
    {
        if (m_chips.sync(items, keyOf, make, update))
            placeChips();
    }
    QList<Chip*> chips() const { return m_chips.widgets(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The text width a chip cut short keeps while the row has room for it: enough of the name's
    // start and end to read it by.
    static int readableTextWidth(const Chip& chip);

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Adopts the chips of a sync that changed them, and places them. A chip's new text asks for a
    // layout of its own, which arranges the row again.
    void placeChips();
    // Gives each chip its width for the present row width and places it.
    void arrange();
    int rowHeight() const;

    KeyedWidgets<Chip> m_chips;
    int m_spacing = 6;
};

} // namespace orvalink::ui
