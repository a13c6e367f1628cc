#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <chrono>
#include <optional>

namespace orvalink::ui {

// An image carried by a "data:" URL, decoded here without any markup or web engine, and drawn
// once into a bitmap of the size it is shown at. Only "data:image/<type>" URLs of at most
// kMaxUrlBytes are accepted, with a base64 or a percent-encoded payload. They are read as leniently
// as a browser reads them: the scheme in any case, white space around the URL and inside base64,
// quoted parameter values and unknown parameters. image/svg+xml goes through SvgSanitizer and is
// drawn within kRenderBudget; every other image type is decoded as a raster within the side and
// memory limits below, PNG text and other ancillary chunks left out. Whatever is not such an image
// gives a null bitmap. These limits keep ordinary pictures cheap but cannot cut a single decoder or
// drawing call short, so the window never calls this: only the decoder process does
// (ImageDecodeJob), under the kernel's limits on memory and time.
class DataUrlImage {
public:
    static constexpr qsizetype kMaxUrlBytes = 1024 * 1024;
    // Raster images larger than this on either side are refused (a small file can unpack huge),
    // whether the file declares it or only its decoded picture shows it.
    static constexpr int kMaxRasterSide = 4096;
    // No raster decoder may allocate more than this for one picture.
    static constexpr int kMaxRasterMebibytes = 16;
    // Drawing a vector image that takes longer is abandoned: nothing is shown.
    static constexpr std::chrono::milliseconds kRenderBudget{100};

    struct Payload {
        QByteArray mimeType; // lower case, e.g. "image/png"
        QByteArray data;     // decoded bytes
    };

    // The media type and the decoded bytes of an image data URL; none for anything else.
    static std::optional<Payload> parse(const QString& url);

    // The image of `url` stretched over `size` (device-independent pixels) at the device pixel
    // ratio `ratio`: a bitmap of size × ratio pixels carrying that ratio. Null when `url` is not a
    // usable image.
    static QImage render(const QString& url, QSize size, qreal ratio);
};

} // namespace orvalink::ui
