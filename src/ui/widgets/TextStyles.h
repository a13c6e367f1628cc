#pragma once

#include <QColor>
#include <QFont>

class QFontMetrics;
class QPalette;
class QWidget;

namespace orvalink::ui {

// The type scale of the window, in pixels (one point of the design is one pixel at scale 1).
enum class TextStyle { Caption, Subheadline, Body, Headline, Title3 };

// `base` with the pixel size and weight of `style`; the families stay those of `base`.
QFont styledFont(TextStyle style, const QFont& base);

// Gives `widget` the font of `style`, derived from its current font.
void applyTextStyle(QWidget* widget, TextStyle style);

// The system's monospace font at `pixelSize` pixels, for paths.
QFont monoFont(int pixelSize);

// The width a one-line text asks for: whole pixels above its fractional advance, since elidedText()
// cuts a text that is a fraction wider than the room it is given.
int naturalTextWidth(const QFont& font, const QString& text);

// The least width of a text that loses its end or middle to "…": two wide letters and the ellipsis.
int leastElidedWidth(const QFontMetrics& metrics);

// The colour of secondary text: the palette's text colour at 55% opacity.
QColor secondaryTextColor(const QPalette& palette);

// Paints the widget's text in the secondary colour (window text and text roles).
void applySecondaryTextColor(QWidget* widget);

// Paints the widget's text in `color` (window text and text roles).
void applyTextColor(QWidget* widget, const QColor& color);

// Makes the application font "Noto Sans" with "Noto Sans CJK SC" as the next family at the body
// size, so Chinese text never falls back to empty boxes. Call after the application object exists.
void useApplicationFontFamilies();

// `color` with its alpha replaced by `alpha` (0..1).
QColor withAlpha(QColor color, qreal alpha);

// The accent colour of the window (the palette's highlight).
QColor accentColor(const QWidget* widget);

} // namespace orvalink::ui
