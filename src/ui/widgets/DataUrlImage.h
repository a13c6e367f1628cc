#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <memory>
#include <optional>

class QPainter;
class QRectF;
class QSvgRenderer;

namespace orvalink::ui {

// An image carried by a "data:" URL, decoded here without any markup or web engine. Only
// "data:image/<type>" URLs of at most kMaxUrlBytes are accepted, with a base64 or a
// percent-encoded payload; image/svg+xml is drawn as vectors (documents that reference anything
// outside themselves are refused), every other image type is decoded as a raster. Whatever is not
// such an image gives a null DataUrlImage, which paints nothing.
class DataUrlImage {
public:
    static constexpr qsizetype kMaxUrlBytes = 1024 * 1024;
    // Raster images larger than this on either side are refused (a small file can unpack huge).
    static constexpr int kMaxRasterSide = 4096;

    struct Payload {
        QByteArray mimeType; // lower case, e.g. "image/png"
        QByteArray data;     // decoded bytes
    };

    // The media type and the decoded bytes of an image data URL; none for anything else.
    static std::optional<Payload> parse(const QString& url);

    static DataUrlImage fromUrl(const QString& url);

    DataUrlImage();
    ~DataUrlImage();
    DataUrlImage(DataUrlImage&&) noexcept;
    DataUrlImage& operator=(DataUrlImage&&) noexcept;

    bool isNull() const;
    bool isVector() const { return m_svg != nullptr; }
    // Raster size, or the vector's default size.
    QSize size() const;

    // Draws the image stretched to `target`; a null image draws nothing.
    void paint(QPainter* painter, const QRectF& target) const;

private:
    std::unique_ptr<QSvgRenderer> m_svg;
    QImage m_raster;
};

} // namespace orvalink::ui
