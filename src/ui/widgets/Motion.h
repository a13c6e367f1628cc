#pragma once

namespace orvalink::ui {

// One switch for every animation of the widgets: tests and the off-screen export turn it off so a
// change is painted in its final state at once. On by default.
bool animationsEnabled();
void setAnimationsEnabled(bool enabled);

} // namespace orvalink::ui
