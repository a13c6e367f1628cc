#pragma once

#include <QLayout>
#include <QList>

namespace orvalink::ui {

// Lays items out left to right at their size hints and starts a new line when the next item would
// pass the right edge. The height follows the width (heightForWidth), so a parent layout grows the
// flow as it wraps.
class FlowLayout : public QLayout {
    Q_OBJECT

public:
    explicit FlowLayout(QWidget* parent = nullptr, int horizontalSpacing = 8, int verticalSpacing = 8);
    ~FlowLayout() override;

    int horizontalSpacing() const { return m_hSpacing; }
    // Qt::AlignRight pushes every line to the right edge; lines start at the left otherwise.
    void setLineAlignment(Qt::Alignment alignment)
    {
        m_alignment = alignment;
        invalidate();
    }
    int verticalSpacing() const { return m_vSpacing; }

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;

    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the items in `rect` (only measures when `apply` is false); returns the height used.
    int arrange(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> m_items;
    int m_hSpacing;
    int m_vSpacing;
    Qt::Alignment m_alignment = Qt::AlignLeft;
};

} // namespace orvalink::ui
