#pragma once

namespace orvalink {
class ActivityState;
class MainViewModel;
} // namespace orvalink

namespace orvalink::ui {

class RefreshScheduler;

// Changes that many views show, each watched in one place.

// Disk work starting or ending (a migration or retry, an undo, a link repair, the start-up's
// recovery): what decides whether a control that starts disk work is on.
void watchDiskWork(RefreshScheduler& scheduler, const ActivityState& activity);

// The language and presentation privacy, which change every text and every shown path.
void watchTexts(RefreshScheduler& scheduler, MainViewModel& viewModel);

} // namespace orvalink::ui
