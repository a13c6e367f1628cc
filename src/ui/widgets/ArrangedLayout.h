#pragma once

#include <QLayout>
#include <QList>

namespace orvalink::ui {

// A layout that places its items itself, in lines or rows whose height follows the width (the
// flow and the card grid): it owns the item list, asks the subclass's arrange() both to measure
// (heightForWidth) and to place, and is never narrower than its widest item's minimum.
class ArrangedLayout : public QLayout {
public:
    explicit ArrangedLayout(QWidget* parent = nullptr);
    ~ArrangedLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

protected:
    // Places the shown items in `rect` (only measures when `apply` is false); returns the height
    // used, margins included.
    virtual int arrange(const QRect& rect, bool apply) const = 0;
    // The items that take room now (hidden widgets take none).
    QList<QLayoutItem*> shownItems() const;

private:
    QList<QLayoutItem*> m_items;
};

} // namespace orvalink::ui
