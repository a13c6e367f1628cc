#pragma once

#include <QCoro/QCoroTask>

namespace orvalink::ui {
class MainDashboardView;
}

namespace orvalink::guide {

// The UI-smoke mode of a window, for MainDashboardView::setAutomationRuns: with ORVALINK_UI_SMOKE
// exactly "1" it prints "[ui-smoke] bootstrap complete", signs in when ORVALINK_UI_SMOKE_EMAIL and
// _PASSWORD are given (registering first unless ORVALINK_UI_SMOKE_REGISTER is "0"; nickname
// ORVALINK_UI_SMOKE_NICKNAME or "UI Smoke") and checks the session and the account badge, opens and
// closes the account, feedback and settings sheets, prints "[ui-smoke] passed" and quits the event
// loop. Markers go to standard output, flushed one by one. A failed check prints
// "[ui-smoke] failed: <reason>" on standard error and ends the process with status 1.
// At most once per window; returns at once when the switch is off or the window goes away.
QCoro::Task<> runUISmokeIfNeeded(ui::MainDashboardView& view);

} // namespace orvalink::guide
