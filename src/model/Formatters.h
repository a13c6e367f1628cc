#pragma once

#include <QString>

namespace orvalink::Formatters {

// The short size text of every view: "<n> B" up to 1023 bytes (negative counts as 0), else the
// value in KB..PB with 2, 1 or 0 decimals for values below 10, below 100, and from 100 on.
QString sizeString(qint64 bytes);

// `value` as C's printf writes it with "%.<decimals>f": rounded as the C library rounds (an exact
// binary half goes to the even digit: 2.5 gives "2", 0.125 gives "0.12"), a period as the decimal
// separator whatever the locale, no grouping.
QString fixedPoint(double value, int decimals);

} // namespace orvalink::Formatters
