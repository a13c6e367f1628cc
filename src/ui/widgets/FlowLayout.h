#pragma once

#include "ui/widgets/ArrangedLayout.h"

namespace orvalink::ui {

// Lays items out left to right at their size hints and starts a new line when the next item would
// pass the right edge. The height follows the width (heightForWidth), so a parent layout grows the
// flow as it wraps.
class FlowLayout : public ArrangedLayout {
    Q_OBJECT

public:
    explicit FlowLayout(QWidget* parent = nullptr, int horizontalSpacing = 8, int verticalSpacing = 8);

    int horizontalSpacing() const { return m_hSpacing; }
    // Qt::AlignRight pushes every line to the right edge; lines start at the left otherwise.
    void setLineAlignment(Qt::Alignment alignment)
    {
        m_alignment = alignment;
        invalidate();
    }
    int verticalSpacing() const { return m_vSpacing; }

    Qt::Orientations expandingDirections() const override { return {}; }
    QSize sizeHint() const override;

protected:
    int arrange(const QRect& rect, bool apply) const override;

private:
    int m_hSpacing;
    int m_vSpacing;
    Qt::Alignment m_alignment = Qt::AlignLeft;
};

} // namespace orvalink::ui
