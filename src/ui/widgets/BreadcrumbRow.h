#pragma once

#include <QList>
#include <QWidget>

namespace orvalink::ui {

class Chip;

// A one-line row of chips that never scrolls: while the row is wide enough every chip shows its
// whole text; otherwise chips give up width, the middle ones first (the widest first), then the
// first one, and the last one (the current place) only when the others are down to a few
// characters; should even that not fit, middle chips hide. A chip cut short ends in "…" (Chip
// elides) and carries its whole text as a plain tool tip. The row asks for the width of all chips whole but
// makes do with little, so a long name never widens the column it is in.
class BreadcrumbRow : public QWidget {
    Q_OBJECT

public:
    explicit BreadcrumbRow(QWidget* parent = nullptr);

    // Replaces the chips, which become the row's children, in this order. The previous chips are
    // hidden and deleted later: the chip clicked may be the one asking for the new chips. In the
    // keyboard's Tab order the chips stand where the row stands.
    void setChips(const QList<Chip*>& chips);
    QList<Chip*> chips() const { return m_chips; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Gives each chip its width for the present row width and places it.
    void arrange();
    int rowHeight() const;

    QList<Chip*> m_chips;
    int m_spacing = 6;
};

} // namespace orvalink::ui
