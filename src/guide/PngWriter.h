#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace orvalink::platform {
class FolderWriter;
}

namespace orvalink::guide {

// The PNG bytes of `image`. Throws ExportError(pngEncodingFailed) when the image cannot be encoded
// (a null image, for one).
QByteArray encodePng(const QImage& image);

// Replaces the file `name` of `folder` with `image` as PNG in one step: the image is encoded first,
// then committed through a new file beside the name, so a failure leaves whatever stood there
// untouched and no temporary file behind. A symbolic link at the name is replaced, never followed.
// Throws ExportError for the encoding and platform::PlatformError for the file system.
void writePng(const QImage& image, const platform::FolderWriter& folder, const QString& name);

} // namespace orvalink::guide
