#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace orvalink::guide {

// The PNG bytes of `image`. Throws ExportError(pngEncodingFailed) when the image cannot be encoded
// (a null image, for one).
QByteArray encodePng(const QImage& image);

// Replaces the file at `path` with `image` as PNG in one step: the image is encoded first, then
// committed through a temporary file beside `path`, so a failure leaves whatever stood at `path`
// untouched and no temporary file behind. Throws ExportError for the encoding and
// platform::PlatformError for the file system.
void writePng(const QImage& image, const QString& path);

} // namespace orvalink::guide
