#pragma once

class QWidget;

namespace orvalink::ui {

// Brings a widget tree shown off screen to the layout a window on screen would reach by itself.
//
// The views' coalesced refreshes run from zero-interval timers, and a changed size reaches the
// layout around it through a posted event, one nesting level per turn of the event loop (an event
// posted while events are delivered waits for the next turn). Rendered right after show(), the
// outer layouts of a deep column would still hold stale sizes and squeeze it into its viewport. So
// this runs the event loop and activates every layout, the innermost first, until two turns in a
// row change nothing (at most 50 turns: only a refresh that keeps rescheduling itself uses them).
void settleLayouts(QWidget& widget);

} // namespace orvalink::ui
