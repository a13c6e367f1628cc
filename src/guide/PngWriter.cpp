#include "guide/PngWriter.h"

#include "guide/ExportError.h"
#include "platform/FolderWriter.h"

#include <QBuffer>
#include <QImageWriter>

namespace orvalink::guide {

QByteArray encodePng(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (image.isNull() || !writer.write(image))
        throw ExportError(ExportError::Case::pngEncodingFailed);
    return bytes;
}

void writePng(const QImage& image, const platform::FolderWriter& folder, const QString& name)
{
    // Encoding into memory first keeps the two kinds of failure apart: nothing touches the disk
    // unless the whole image could be encoded.
    folder.replaceFile(name, encodePng(image));
}

} // namespace orvalink::guide
