#include "ui/widgets/ShadowPixmap.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QRectF>
#include <cmath>
#include <qdrawutil.h>
#include <vector>

namespace orvalink::ui {

namespace {

// One box pass along a line of `count` pixels `stride` words apart; outside the image is transparent.
void boxBlurLine(QRgb* line, int count, int stride, int radius, std::vector<QRgb>& scratch)
{
    scratch.resize(size_t(count));
    for (int i = 0; i < count; ++i)
        scratch[size_t(i)] = line[i * stride];
    const int window = 2 * radius + 1;
    int sum[4] = {0, 0, 0, 0};
    auto add = [&](int index, int sign) {
        if (index < 0 || index >= count)
            return;
        const QRgb p = scratch[size_t(index)];
        sum[0] += sign * qAlpha(p);
        sum[1] += sign * qRed(p);
        sum[2] += sign * qGreen(p);
        sum[3] += sign * qBlue(p);
    };
    for (int i = -radius; i < radius; ++i)
        add(i, 1);
    for (int i = 0; i < count; ++i) {
        add(i + radius, 1);
        line[i * stride] = qRgba(sum[1] / window, sum[2] / window, sum[3] / window, sum[0] / window);
        add(i - radius, -1);
    }
}

QPixmap shadowNinePatch(const ShadowLook& look, int margin)
{
    const QString key = QStringLiteral("orvalink-shadow-%1-%2-%3")
                            .arg(look.cornerRadius)
                            .arg(look.blurRadius)
                            .arg(look.color.rgba(), 8, 16, QLatin1Char('0'));
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;

    const int spread = shadowSpread(look);
    const int side = 2 * margin + 2;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(spread, spread, side - 2 * spread, side - 2 * spread), look.cornerRadius,
                            look.cornerRadius);
        painter.fillPath(path, look.color);
    }
    blurImage(image, spread);
    pixmap = QPixmap::fromImage(std::move(image));
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

} // namespace

int shadowSpread(const ShadowLook& look)
{
    return int(std::ceil(std::max<qreal>(0, look.blurRadius)));
}

void blurImage(QImage& image, int radius)
{
    if (radius <= 0 || image.isNull())
        return;
    Q_ASSERT(image.format() == QImage::Format_ARGB32_Premultiplied);
    const int boxRadius = std::max(1, (radius + 2) / 3);
    const int width = image.width();
    const int height = image.height();
    const int stride = int(image.bytesPerLine() / 4);
    auto* pixels = reinterpret_cast<QRgb*>(image.bits());
    std::vector<QRgb> scratch;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < height; ++y)
            boxBlurLine(pixels + y * stride, width, 1, boxRadius, scratch);
        for (int x = 0; x < width; ++x)
            boxBlurLine(pixels + x, height, stride, boxRadius, scratch);
    }
}

void paintShadow(QPainter* painter, const QRectF& shape, const ShadowLook& look)
{
    if (look.color.alpha() == 0 || shape.isEmpty())
        return;
    const int spread = shadowSpread(look);
    const int margin = 2 * spread + int(std::ceil(look.cornerRadius));
    const QPixmap pixmap = shadowNinePatch(look, margin);
    const QRect target = shape.adjusted(-spread, -spread, spread, spread).toAlignedRect();
    qDrawBorderPixmap(painter, target, QMargins(margin, margin, margin, margin), pixmap);
}

} // namespace orvalink::ui
