#include "ui/widgets/TextStyles.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPalette>
#include <QWidget>
#include <cmath>

namespace orvalink::ui {

QFont styledFont(TextStyle style, const QFont& base)
{
    QFont font = base;
    int pixels = 13;
    QFont::Weight weight = QFont::Normal;
    switch (style) {
    case TextStyle::Caption:
        pixels = 10;
        break;
    case TextStyle::Subheadline:
        pixels = 11;
        break;
    case TextStyle::Body:
        pixels = 13;
        break;
    case TextStyle::Headline:
        pixels = 13;
        weight = QFont::DemiBold;
        break;
    case TextStyle::Title3:
        pixels = 15;
        break;
    }
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

void applyTextStyle(QWidget* widget, TextStyle style)
{
    widget->setFont(styledFont(style, widget->font()));
}

QFont monoFont(int pixelSize)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(pixelSize);
    return font;
}

int naturalTextWidth(const QFont& font, const QString& text)
{
    return int(std::ceil(QFontMetricsF(font).horizontalAdvance(text)));
}

int leastElidedWidth(const QFontMetrics& metrics)
{
    return metrics.horizontalAdvance(QStringLiteral("MM") + QChar(0x2026));
}

void useApplicationFontFamilies()
{
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Noto Sans"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(13);
    QApplication::setFont(font);
}

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

QColor accentColor(const QWidget* widget)
{
    return widget->palette().color(QPalette::Highlight);
}

QColor secondaryTextColor(const QPalette& palette)
{
    return withAlpha(palette.color(QPalette::WindowText), 0.55);
}

void applyTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

void applySecondaryTextColor(QWidget* widget)
{
    // From the palette the widget inherits, not its own, so a second call does not fade it again.
    const QPalette inherited =
        widget->parentWidget() ? widget->parentWidget()->palette() : QApplication::palette(widget);
    applyTextColor(widget, secondaryTextColor(inherited));
}

} // namespace orvalink::ui
