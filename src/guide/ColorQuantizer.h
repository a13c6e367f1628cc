#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRgb>

namespace orvalink::guide {

// An image reduced to a palette: one palette index per pixel, row after row.
struct QuantizedImage {
    int width = 0;
    int height = 0;
    QList<QRgb> palette; // opaque colours, at most the requested number
    QByteArray indices;  // width * height entries, each below palette.size()
};

// Reduces `image` to at most `maxColors` (1 to 256) colours. An image with no more colours than
// that keeps every colour exactly; otherwise a median cut of its colour histogram, weighted by how
// many pixels have each colour, picks the palette (the average of each box) and every colour maps
// to the palette entry nearest to it.
// The frames are opaque renders, so alpha is dropped.
QuantizedImage quantizeImage(const QImage& image, int maxColors = 256);

} // namespace orvalink::guide
