#pragma once

#include <QPoint>
#include <QPointer>
#include <QScrollArea>
#include <optional>

namespace orvalink::ui {

// A column that scrolls up and down and keeps what the user looks at in place. When its content is
// laid out anew (a section rebuilt, grown or shrunk, a panel above the column opened), it scrolls
// by what moved, so the widget under the pointer stays where it was on the screen (the topmost
// section in view when the pointer is elsewhere); only what the user scrolls, and a Tab that moves
// the keyboard focus out of view, move the content. Where the content is too short to scroll by as
// much (a column that fits, and a panel above it opens), the area lengthens the content below its
// end for as long as that room is scrolled into, so that nothing moves by itself either way. Where
// a panel above the area grows over the place of a kept widget that showed from its top, the widget
// comes as near to it as the view allows (to the view's top) rather than out of sight. Nor does such
// a panel leave a control cut across by the view's top, half hidden under it, nor does any change of
// the layout (a panel that shrinks, texts of another length): the content stands as much lower as
// shows the control whole (where the pointer rests on the content, once it moves). A
// control that is disabled or hidden while it has the focus passes the focus on without scrolling to
// the next one. Never scrolls sideways.
class SteadyScrollArea : public QScrollArea {
    Q_OBJECT

public:
    explicit SteadyScrollArea(QWidget* parent = nullptr);
    ~SteadyScrollArea() override;

    // Sets the content (owned by the area, resized to the area's width) and starts following it.
    void setContent(QWidget* content);
    // Off, the area keeps its scroll position as a QScrollArea does (a part that always shows its
    // beginning first); on by default.
    void setKeepsContentInPlace(bool keeps) { m_keepsInPlace = keeps; }
    // Scrolls to `value` as the user would: what shows then is what the area keeps in place.
    void scrollToValue(int value);
    // Scrolls `widget` (inside the content, or the content itself: its top) whole into view, its top
    // when it is taller than the view, and keeps it so through the layout changes that follow, until
    // the user scrolls or another widget is asked for. Also where the area does not keep its content
    // in place.
    void keepInView(QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Remembers which widget to keep in place and where it stands in the window now.
    void noteAnchor();
    // Asks for keepAnchor() once the events queued now have run (a layout change comes in steps).
    void scheduleKeep();
    // Scrolls the anchor back to where it was noted.
    void keepAnchor();
    // Scrolls to `value`, lengthening the content first where it is too short for that.
    void scrollKeeping(int value);
    // `kept`, the value that keeps the anchor, less the shift that shows whole the controls a panel
    // grown above the area would cut across; notes that shift, or defers it.
    int keptWithWholeControls(int kept);
    // `value`, or where the view's top would cut a control across there, the greatest value below
    // it that cuts none.
    int valueShowingWholeControls(int value) const;
    // Scrolls as little as brings m_keptInView whole into view; false when it is not shown.
    bool showKeptInView();
    // The top of the area's view in its window.
    int viewTop() const;
    // Gives back the room below the content's end that no longer shows.
    void releaseRoom();
    void rangeChanged();
    void valueChanged();
    // The widget under the pointer in the content (`underPointer` set), or the topmost section in
    // view.
    QWidget* anchorCandidate(bool* underPointer) const;
    bool keepsPointerAnchor() const;
    int windowTop(const QWidget* widget) const;

    // Where the pointer is on the screen, as the window last told; none once it left the window.
    std::optional<QPoint> m_pointer;
    bool m_keepsInPlace = true;
    QPointer<QWidget> m_anchor;
    bool m_anchorFromPointer = false;
    int m_anchorTop = 0;
    // Where the view's top stood in the window when the anchor was noted.
    int m_viewTopThen = 0;
    // The user's own scroll left the view's top cutting a control across: a change of the layout
    // leaves it so (unless a panel grows above the area).
    bool m_userCut = false;
    // How much lower the content stands than keeping the anchor puts it, so that the view's top cuts
    // no control. Worked out afresh at each keep and left out of the anchor's noted place: a panel
    // that goes on growing over a control covers it whole in the end rather than push it along.
    int m_wholeControlsShift = 0;
    // Where the pointer rested when a control was left cut across for it; none when no control waits.
    std::optional<QPoint> m_wholeControlsDeferredAt;
    QPointer<QWidget> m_keptInView;
    bool m_keepQueued = false;
    // Set while the area scrolls itself (keeping the anchor) or the range clamps the value: such
    // a scroll is no choice of the user's and notes no new anchor.
    bool m_scrollingItself = false;
    // A keep the range cut short is tried once more when the range grows.
    bool m_keepCutShort = false;
    // The least height this area gave its content to scroll by what moved; 0 for none.
    int m_room = 0;
};

} // namespace orvalink::ui
