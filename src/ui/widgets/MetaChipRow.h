#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

namespace orvalink::ui {

class MetaChip;

// A row of MetaChips, one per text, in order, that wraps to a new line at its right edge.
class MetaChipRow : public QWidget {
    Q_OBJECT

public:
    explicit MetaChipRow(const QStringList& texts = {}, QWidget* parent = nullptr);

    // Shows `texts`, reusing the chips there are: the chip at a position keeps standing there and
    // only takes the new text, so a card updated in place does not rebuild its row.
    void setTexts(const QStringList& texts);
    QStringList texts() const;

private:
    QList<MetaChip*> m_chips;
};

} // namespace orvalink::ui
