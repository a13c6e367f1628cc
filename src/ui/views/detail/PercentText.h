#pragma once

#include <QString>

namespace orvalink::ui {

// A ratio limited to 0..1 for a progress bar or a gauge: below 0 and not-a-number give 0, above 1
// gives 1. Workflow figures can overshoot (a tree that grew while it was moved).
double clampedRatio(double ratio);

// The ratio as a whole-number percentage: clamped as above, times 100, rounded half away from zero,
// then "%". 0.005 gives "1%", 0.0049 "0%", 1.7 "100%".
QString percentText(double ratio);

} // namespace orvalink::ui
