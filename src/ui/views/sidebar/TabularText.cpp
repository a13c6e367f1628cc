#include "ui/views/sidebar/TabularText.h"

#include <QPainter>

namespace orvalink::ui::TabularText {

namespace {

int digitWidth(const QFontMetrics& metrics)
{
    int widest = 0;
    for (char16_t digit = u'0'; digit <= u'9'; ++digit)
        widest = std::max(widest, metrics.horizontalAdvance(QChar(digit)));
    return widest;
}

} // namespace

int width(const QFontMetrics& metrics, const QString& text)
{
    const int cell = digitWidth(metrics);
    int total = 0;
    for (const QChar c : text)
        total += c.isDigit() ? cell : metrics.horizontalAdvance(c);
    return total;
}

void drawRightAligned(QPainter* painter, const QRect& rect, const QString& text)
{
    const QFontMetrics metrics = painter->fontMetrics();
    const int cell = digitWidth(metrics);
    int x = rect.right() + 1 - width(metrics, text);
    const int baseline = rect.top() + (rect.height() - metrics.height()) / 2 + metrics.ascent();
    for (const QChar c : text) {
        const int advance = metrics.horizontalAdvance(c);
        if (c.isDigit()) {
            painter->drawText(QPoint(x + (cell - advance) / 2, baseline), QString(c));
            x += cell;
        } else {
            painter->drawText(QPoint(x, baseline), QString(c));
            x += advance;
        }
    }
}

} // namespace orvalink::ui::TabularText
