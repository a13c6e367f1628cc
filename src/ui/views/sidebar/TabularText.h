#pragma once

#include <QFontMetrics>
#include <QString>

class QPainter;
class QRect;

namespace orvalink::ui {

// Text whose digits all take the width of the widest digit, so a column of sizes does not jitter
// while the numbers change. Qt 6.4 offers no way to ask the font for its tabular figures, so the
// digits are placed one by one; other characters keep their own advance.
namespace TabularText {

int width(const QFontMetrics& metrics, const QString& text);

// Draws the text right-aligned and vertically centred in the rectangle, with the painter's font.
void drawRightAligned(QPainter* painter, const QRect& rect, const QString& text);

} // namespace TabularText

} // namespace orvalink::ui
