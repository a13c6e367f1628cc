#pragma once

#include <QImage>
#include <QString>

class QWidget;

namespace orvalink::test {

// Fonts and animations as the window tests need them: the application font families that cover
// Chinese, and every widget animation off so changes paint in their final state.
void prepareWidgetTests();

// Lays `widget` out off screen at `size` (or its size hint) and renders it into an image.
QImage renderOffscreen(QWidget* widget, QSize size = QSize());

// Saves `image` as <build>/screens/<name>.png for a reviewer to look at; returns the path, or an
// empty string when the file could not be written.
QString saveScreen(const QImage& image, const QString& name);

// The first column of row `y` whose alpha passes `threshold`, or -1.
int firstOpaqueColumn(const QImage& image, int y, int threshold = 16);

} // namespace orvalink::test
