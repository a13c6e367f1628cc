#pragma once

#include <QListView>
#include <QMenu>
#include <QPointer>

namespace orvalink::ui {

class DirectoryListModel;

// The directory list: rows painted by DirectoryRowDelegate, no item selection of its own (the
// source's focused path and selected paths are the truth). Up and Down move the source's focus and
// scroll to it, Left and Right do nothing, Return and Enter open the focused entry and are always
// consumed, and a right click offers "open containing directory" and "reveal". The focused row is
// one wholly in view: when the list takes the focus from the keyboard or gets new rows or a new order
// that leave the focused row cut at an edge, its whole neighbour takes the focus, and when they
// leave it out of view (or, with the keyboard focus, none), the top row wholly in view; a click
// focuses the row it lands on. Neither taking the focus nor a new order scrolls the list.
class DirectoryListView : public QListView {
    Q_OBJECT
public:
    explicit DirectoryListView(DirectoryListModel* model, QWidget* parent = nullptr);

    // As tall as its least height: the column around gives the list whatever height is left, and
    // asks for no more than that least height when it decides whether it must scroll.
    QSize sizeHint() const override;

    // The context menu while it is open (for tests and the guide's captures).
    QMenu* contextMenu() const { return m_contextMenu; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    // The keys move the focused row only while the list has the keyboard focus: a ring around the
    // rows shows when it has.
    void paintEvent(QPaintEvent* event) override;
    // The wheel over the list scrolls the list only: at either end, or with nothing to scroll, it
    // does not pass on to the column around it.
    void wheelEvent(QWheelEvent* event) override;
    // The ring lies along the edges of the view, not on the rows: a scroll repaints the whole view
    // while it shows, where moving the painted rows would move copies of the ring along with them.
    void scrollContentsBy(int dx, int dy) override;

private:
    void showContextMenu(const QPoint& position);
    void scrollToFocus();
    // Moves the focus to a row wholly in view when the focused row is not (see above).
    void focusWholeRowIfCut();

    DirectoryListModel* m_model;
    QPointer<QMenu> m_contextMenu;
};

} // namespace orvalink::ui
