#pragma once

#include <QString>

namespace orvalink::Formatters {

// The short size text of every view: "<n> B" up to 1023 bytes (negative counts as 0), else the
// value in KB..PB with 2, 1 or 0 decimals for values below 10, below 100, and from 100 on.
QString sizeString(qint64 bytes);

} // namespace orvalink::Formatters
