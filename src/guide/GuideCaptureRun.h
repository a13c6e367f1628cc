#pragma once

#include <QCoro/QCoroTask>

namespace orvalink::ui {
class MainDashboardView;
}

namespace orvalink::guide {

// The guide-capture mode of a window, for MainDashboardView::setAutomationRuns: with
// ORVALINK_GUIDE_CAPTURE exactly "1" it signs in when credentials are given (ORVALINK_GUIDE_EMAIL /
// _PASSWORD / _NICKNAME, falling back to the UI-smoke ones; ORVALINK_GUIDE_REGISTER), sets the
// panels (ORVALINK_GUIDE_SHOW_PROGRESS, _SHOW_MIGRATED_ITEMS, _SHOW_STORAGE_OVERVIEW), selects all
// migrated items (ORVALINK_GUIDE_SELECT_ALL_MIGRATED), opens a quick sheet (ORVALINK_GUIDE_SHEET),
// then prints "[guide-capture] ready" on standard output, flushed, and leaves the window running.
// At most once per window; returns at once when the switch is off or the window goes away.
QCoro::Task<> runGuideCaptureIfNeeded(ui::MainDashboardView& view);

} // namespace orvalink::guide
