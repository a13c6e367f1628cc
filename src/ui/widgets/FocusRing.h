#pragma once

#include <QRectF>

class QPainter;
class QWidget;

namespace orvalink::ui {

// The keyboard-focus ring of a painted widget that takes the focus (a chip or a card acting as a
// button): a 2-pixel line of the palette's highlight just inside `rect`, rounded by `radius`.
// Paints nothing unless `widget` has the focus.
void paintFocusRing(QPainter* painter, const QWidget* widget, const QRectF& rect, qreal radius);

// Draws the ring over `widget` after it painted itself, for a widget of Qt's that shows no focus of
// its own in the window's style (a flat button). The filter lives as long as the widget.
void showFocusRing(QWidget* widget, qreal radius);

} // namespace orvalink::ui
