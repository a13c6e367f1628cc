#pragma once

#include <QString>
#include <optional>

namespace orvalink::ui {

// The text of the minimum-size field for a size in megabytes: a whole number when the value lies
// within 1e-6 of one, else the value with two decimals and its trailing zeros (and point) removed
// (12.50 gives "12.5", 10.000002 gives "10"). A value that is not finite, or whose whole number does
// not fit 64 bits, gives an empty text.
QString minSizeText(double megabytes);

// What the user typed into the field, as megabytes the setting can take: trimmed, "," read as ".",
// parsed in the "C" locale whatever the process locale. None for text that is not a number, for a
// negative, NaN or infinite value, and for a size whose byte count does not fit 64 bits
// (8,796,093,022,208 MB or more).
std::optional<double> parseMinimumSizeInput(const QString& text);

} // namespace orvalink::ui
