#pragma once

#include <QColor>
#include <QMargins>
#include <QPixmap>

class QPainter;
class QRectF;

namespace orvalink::ui {

// A soft shadow under a rounded rectangle, pre-rendered once per look as a small nine-patch and
// stretched to any size. (A graphics-effect shadow is not drawn reliably by QWidget::render().)
struct ShadowLook {
    qreal cornerRadius = 16;
    qreal blurRadius = 10;
    QColor color = QColor(0, 0, 0, 20);

    bool operator==(const ShadowLook&) const = default;
};

// How far the shadow of `look` reaches beyond its rectangle on every side, before any offset.
int shadowSpread(const ShadowLook& look);

// Paints the shadow of a rounded rectangle `shape` of `look` (the caller moves `shape` by the
// shadow's offset). The shadow reaches shadowSpread(look) beyond `shape`.
void paintShadow(QPainter* painter, const QRectF& shape, const ShadowLook& look);

// Blurs `image` (ARGB32 premultiplied) in place with three box passes, close to a Gaussian whose
// extent is `radius` pixels on each side.
void blurImage(QImage& image, int radius);

} // namespace orvalink::ui
