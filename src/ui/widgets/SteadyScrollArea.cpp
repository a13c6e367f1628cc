#include "ui/widgets/SteadyScrollArea.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWindow>
#include <algorithm>
#include <utility>

namespace orvalink::ui {

SteadyScrollArea::SteadyScrollArea(QWidget* parent) : QScrollArea(parent)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // No Tab stop of its own, which would show nothing: Tab goes through its content, and brings
    // the focused control into view.
    setFocusPolicy(Qt::NoFocus);
    QScrollBar* bar = verticalScrollBar();
    connect(bar, &QScrollBar::rangeChanged, this, &SteadyScrollArea::rangeChanged);
    connect(bar, &QScrollBar::valueChanged, this, &SteadyScrollArea::valueChanged);
}

SteadyScrollArea::~SteadyScrollArea() = default;

void SteadyScrollArea::setContent(QWidget* content)
{
    setWidget(content);
    content->installEventFilter(this);
}

bool SteadyScrollArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == widget()) {
        // A layout request comes before the content moves: what the user sees now is the state
        // to keep, unless a keep is already queued for an earlier step of the same change.
        if (event->type() == QEvent::LayoutRequest) {
            if (!m_keepQueued && !keepsPointerAnchor())
                noteAnchor();
            scheduleKeep();
        } else if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
            scheduleKeep();
        }
    } else if (watched == window()->windowHandle()) {
        // The pointer moved: the widget under it is the one to keep in place from now on.
        if (event->type() == QEvent::MouseMove) {
            m_pointer = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            if (!m_keepQueued)
                noteAnchor();
        } else if (event->type() == QEvent::Leave) {
            m_pointer.reset();
            m_anchorFromPointer = false;
        }
        if (m_wholeControlsDeferredAt && m_wholeControlsDeferredAt != m_pointer)
            scheduleKeep();
    } else if (watched == parentWidget() && event->type() == QEvent::LayoutRequest && !m_keepQueued &&
               !keepsPointerAnchor()) {
        // Something beside the area is about to move it (a panel above it opening).
        noteAnchor();
    }
    return QScrollArea::eventFilter(watched, event);
}

bool SteadyScrollArea::focusNextPrevChild(bool next)
{
    // Qt passes the focus on this way when the widget that had it is disabled or hidden; only a
    // Tab from a widget the user still sees scrolls the next one into view.
    const QWidget* before = QApplication::focusWidget();
    const bool byTab = before && before->isEnabled() && before->isVisibleTo(window());
    if (!QWidget::focusNextPrevChild(next))
        return false;
    if (byTab) {
        if (QWidget* focused = focusWidget())
            ensureWidgetVisible(focused);
    }
    return true;
}

void SteadyScrollArea::scrollToValue(int value)
{
    // As a scroll of the user's, also with a keep queued: a widget kept in view before is let go.
    m_keptInView = nullptr;
    m_wholeControlsShift = 0;
    verticalScrollBar()->setValue(value);
    m_userCut = valueShowingWholeControls(value) != value;
    // A keep queued before this scroll keeps what shows now, not what showed before it.
    noteAnchor();
}

void SteadyScrollArea::keepInView(QWidget* widget)
{
    m_keptInView = widget;
    showKeptInView();
    scheduleKeep();
}

void SteadyScrollArea::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    scheduleKeep();
}

void SteadyScrollArea::moveEvent(QMoveEvent* event)
{
    QScrollArea::moveEvent(event);
    scheduleKeep();
}

void SteadyScrollArea::showEvent(QShowEvent* event)
{
    QScrollArea::showEvent(event);
    // The window the pointer moves in is known once the area is shown; installing a filter twice
    // keeps one.
    if (QWindow* handle = window()->windowHandle())
        handle->installEventFilter(this);
    if (QWidget* around = parentWidget())
        around->installEventFilter(this);
}

bool SteadyScrollArea::keepsPointerAnchor() const
{
    // The widget under a pointer that has not moved since stays the one to keep: a layout may run
    // before its request reaches the area, and by then another widget is under the pointer.
    return m_anchorFromPointer && m_anchor && m_anchor->isVisible();
}

void SteadyScrollArea::noteAnchor()
{
    m_anchor = anchorCandidate(&m_anchorFromPointer);
    m_anchorTop = m_anchor ? windowTop(m_anchor) - m_wholeControlsShift : 0;
    m_viewTopThen = viewTop();
    m_keepCutShort = false;
}

void SteadyScrollArea::scheduleKeep()
{
    if (m_keepQueued)
        return;
    m_keepQueued = true;
    // After the layout steps queued now: the area resizes its content only after the content's
    // own layout ran.
    QMetaObject::invokeMethod(this, &SteadyScrollArea::keepAnchor, Qt::QueuedConnection);
}

void SteadyScrollArea::keepAnchor()
{
    m_keepQueued = false;
    if (showKeptInView() || !m_keepsInPlace)
        return;
    if (!m_anchor || !m_anchor->isVisibleTo(this) || !widget() || !widget()->isAncestorOf(m_anchor)) {
        noteAnchor();
        return;
    }
    // A panel above that shrank leaves the content where it stands, as lower as it is.
    if (viewTop() < m_viewTopThen) {
        m_anchorTop += m_wholeControlsShift;
        m_wholeControlsShift = 0;
    }
    // The anchor's place, or where a panel that grew above the area would hide an anchor that
    // showed from its top: the top of the view.
    const int place = m_anchorTop >= m_viewTopThen ? std::max(m_anchorTop, viewTop()) : m_anchorTop;
    QScrollBar* bar = verticalScrollBar();
    const int wanted = keptWithWholeControls(bar->value() + windowTop(m_anchor) - place);
    if (wanted != bar->value())
        scrollKeeping(wanted);
    const int reached = bar->value();
    releaseRoom();
    // Out of range: the range may yet grow with the content, so it is tried once more then; cut
    // short again, the column stays as it is now (a later change must not scroll it back).
    const bool retried = m_keepCutShort;
    m_keepCutShort = reached != wanted && !retried;
    if (reached != wanted && retried)
        noteAnchor();
}

void SteadyScrollArea::scrollKeeping(int value)
{
    QScrollBar* bar = verticalScrollBar();
    QWidget* content = widget();
    // The content gets the room below its end that the scroll needs; it resizes (and the range
    // follows) at once.
    if (value > bar->maximum() && content && m_anchor && m_anchor->isVisible() &&
        content->minimumHeight() == m_room) {
        m_room = value + viewport()->height();
        content->setMinimumHeight(m_room);
    }
    m_scrollingItself = true;
    bar->setValue(std::clamp(value, bar->minimum(), bar->maximum()));
    m_scrollingItself = false;
}

int SteadyScrollArea::keptWithWholeControls(int kept)
{
    // Where a panel grew above the area since the anchor was noted, where a shift for one stands or
    // waits, or where the change cuts a control across (a panel that shrank, texts of another length
    // above the anchor): a control the user's own scroll cut across stays so.
    if (viewTop() <= m_viewTopThen && m_wholeControlsShift == 0 && !m_wholeControlsDeferredAt &&
        (m_userCut || valueShowingWholeControls(kept) == kept))
        return kept;
    // A pointer at rest keeps the widget it rests on where it stands, a click on its way lands there;
    // the control cut across shows whole once the pointer moves.
    if (keepsPointerAnchor() && (!m_wholeControlsDeferredAt || m_wholeControlsDeferredAt == m_pointer)) {
        const int stands = kept - m_wholeControlsShift;
        m_wholeControlsDeferredAt =
            valueShowingWholeControls(stands) != stands ? m_pointer : std::optional<QPoint>();
        return stands;
    }
    m_wholeControlsDeferredAt.reset();
    const int wanted = valueShowingWholeControls(kept);
    m_wholeControlsShift = kept - wanted;
    return wanted;
}

int SteadyScrollArea::valueShowingWholeControls(int value) const
{
    QWidget* content = widget();
    if (!content)
        return value;
    // The controls the view's top may cut: those the keyboard reaches, short enough to show whole;
    // a list scrolls its own rows, and what scrolls inside another area is that area's.
    QList<std::pair<int, int>> spans;
    for (QWidget* control : content->findChildren<QWidget*>()) {
        if (!(control->focusPolicy() & Qt::TabFocus) || !control->isVisibleTo(content) ||
            control->height() >= viewport()->height())
            continue;
        bool scrollsElsewhere = false;
        for (QWidget* up = control; up != content && !scrollsElsewhere; up = up->parentWidget())
            scrollsElsewhere = qobject_cast<QAbstractScrollArea*>(up) != nullptr;
        if (!scrollsElsewhere) {
            const int top = control->mapTo(content, QPoint(0, 0)).y();
            spans.append({top, top + control->height()});
        }
    }
    // Showing one whole may cut the one above it: until none is cut.
    for (bool lowered = true; lowered;) {
        lowered = false;
        for (const auto& [top, bottom] : std::as_const(spans)) {
            if (top < value && bottom > value) {
                value = top;
                lowered = true;
            }
        }
    }
    return value;
}

bool SteadyScrollArea::showKeptInView()
{
    QWidget* content = widget();
    if (!m_keptInView || !content || !content->isAncestorOf(m_keptInView) || !m_keptInView->isVisibleTo(this))
        return false;
    QScrollBar* bar = verticalScrollBar();
    const int top = m_keptInView->mapTo(content, QPoint(0, 0)).y();
    const int bottom = top + m_keptInView->height();
    const int value = std::min(top, std::max(bar->value(), bottom - viewport()->height()));
    m_scrollingItself = true;
    bar->setValue(std::clamp(value, bar->minimum(), bar->maximum()));
    m_scrollingItself = false;
    return true;
}

void SteadyScrollArea::releaseRoom()
{
    QWidget* content = widget();
    // Only the room this area gave: a least height the content set itself stays.
    if (!content || m_room == 0 || content->minimumHeight() != m_room)
        return;
    const int shown = verticalScrollBar()->value() + viewport()->height();
    if (shown >= m_room)
        return;
    const int natural = content->hasHeightForWidth() ? content->heightForWidth(viewport()->width())
                                                     : content->minimumSizeHint().height();
    m_room = shown > natural ? shown : 0;
    m_scrollingItself = true;
    content->setMinimumHeight(m_room);
    m_scrollingItself = false;
}

void SteadyScrollArea::rangeChanged()
{
    if (m_keepCutShort)
        scheduleKeep();
    // The value the range clamps is no scroll of the user's.
    m_scrollingItself = true;
    QMetaObject::invokeMethod(
        this, [this] { m_scrollingItself = false; }, Qt::QueuedConnection);
}

void SteadyScrollArea::valueChanged()
{
    // The user scrolled (or a Tab brought the focus into view): what shows now is what to keep.
    if (!m_scrollingItself && !m_keepQueued) {
        m_keptInView = nullptr;
        m_wholeControlsShift = 0;
        const int value = verticalScrollBar()->value();
        m_userCut = valueShowingWholeControls(value) != value;
        noteAnchor();
        // Scrolled back up, the room below the content's end goes.
        if (m_room != 0)
            QMetaObject::invokeMethod(this, &SteadyScrollArea::releaseRoom, Qt::QueuedConnection);
    }
}

QWidget* SteadyScrollArea::anchorCandidate(bool* underPointer) const
{
    *underPointer = false;
    QWidget* content = widget();
    if (!content)
        return nullptr;
    if (m_pointer) {
        const QPoint pointer = viewport()->mapFromGlobal(*m_pointer);
        if (viewport()->rect().contains(pointer)) {
            if (QWidget* under = content->childAt(content->mapFrom(viewport(), pointer))) {
                *underPointer = true;
                return under;
            }
        }
    }
    // The topmost section that reaches into view.
    const int viewTop = content->mapFrom(viewport(), QPoint(0, 0)).y();
    QWidget* top = nullptr;
    for (QObject* child : content->children()) {
        auto* section = qobject_cast<QWidget*>(child);
        if (!section || !section->isVisibleTo(content) || section->geometry().bottom() < viewTop)
            continue;
        if (!top || section->y() < top->y())
            top = section;
    }
    return top;
}

int SteadyScrollArea::viewTop() const
{
    return viewport()->mapTo(window(), QPoint(0, 0)).y();
}

int SteadyScrollArea::windowTop(const QWidget* widget) const
{
    return widget->mapTo(window(), QPoint(0, 0)).y();
}

} // namespace orvalink::ui
