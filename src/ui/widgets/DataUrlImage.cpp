#include "ui/widgets/DataUrlImage.h"

#include "ui/widgets/DeadlinePaintDevice.h"
#include "ui/widgets/PngChunkFilter.h"
#include "ui/widgets/SvgSanitizer.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

namespace orvalink::ui {

namespace {

bool isImageMediaType(const QByteArray& type)
{
    static const QRegularExpression pattern(QStringLiteral("^image/[a-z0-9][a-z0-9.+-]*$"));
    return pattern.match(QString::fromLatin1(type)).hasMatch();
}

// A parameter of the media type: a bare token (";utf8"), or token=token, or token="quoted".
bool isParameter(const QByteArray& parameter)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^[A-Za-z0-9!#$%&'*+.^_`|~-]+(=([A-Za-z0-9!#$%&'*+.^_`|~-]*|\"([^\"\\\\]|\\\\.)*\"))?$"));
    return pattern.match(QString::fromLatin1(parameter)).hasMatch();
}

QByteArray withoutWhiteSpace(QByteArray data)
{
    data.removeIf([](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; });
    return data;
}

// Sets the process-wide limit of the image decoders for one read, nested decoders included (an
// icon file wraps a PNG and decodes it with a reader of its own).
class AllocationLimit {
public:
    explicit AllocationLimit(int mebibytes) : m_previous(QImageReader::allocationLimit())
    {
        QImageReader::setAllocationLimit(mebibytes);
    }
    ~AllocationLimit() { QImageReader::setAllocationLimit(m_previous); }
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;

private:
    int m_previous;
};

bool exceedsSideLimit(QSize size)
{
    return size.width() > DataUrlImage::kMaxRasterSide || size.height() > DataUrlImage::kMaxRasterSide;
}

QImage renderRaster(QByteArray data, QSize pixels)
{
    // The allocation limit covers the picture, not what the decoder unpacks beside it.
    if (data.startsWith("\x89PNG")) {
        std::optional<QByteArray> picture = PngChunkFilter::pictureOnly(data);
        if (!picture)
            return {};
        data = std::move(*picture);
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Vector formats go through the checked SVG path only, whatever the URL called them.
    const QByteArray format = reader.format();
    if (format.isEmpty() || format.startsWith("svg"))
        return {};
    const QSize declared = reader.size();
    if (!declared.isValid() || exceedsSideLimit(declared))
        return {};
    QImage image;
    {
        const AllocationLimit limit(DataUrlImage::kMaxRasterMebibytes);
        image = reader.read();
    }
    // A container may declare one size and hold a larger picture.
    if (image.isNull() || exceedsSideLimit(image.size()))
        return {};
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
        .scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage renderSvg(const QByteArray& data, QSize pixels)
{
    const std::optional<QByteArray> clean = SvgSanitizer::sanitize(data);
    if (!clean)
        return {};
    QSvgRenderer renderer(*clean);
    if (!renderer.isValid())
        return {};
    renderer.setAspectRatioMode(Qt::IgnoreAspectRatio);
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    DeadlinePaintDevice device(&image, QDeadlineTimer(DataUrlImage::kRenderBudget));
    QPainter painter(&device);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    painter.end();
    if (device.missedDeadline())
        return {};
    return image;
}

} // namespace

std::optional<DataUrlImage::Payload> DataUrlImage::parse(const QString& url)
{
    const QByteArray bytes = url.trimmed().toUtf8();
    if (bytes.size() > kMaxUrlBytes || !bytes.left(5).toLower().startsWith("data:"))
        return std::nullopt;
    const qsizetype comma = bytes.indexOf(',');
    if (comma < 0)
        return std::nullopt;
    QList<QByteArray> header = bytes.mid(5, comma - 5).split(';');
    Payload payload;
    payload.mimeType = header.takeFirst().trimmed().toLower();
    if (!isImageMediaType(payload.mimeType))
        return std::nullopt;
    bool base64 = false;
    if (!header.isEmpty() && header.last().trimmed().toLower() == "base64") {
        base64 = true;
        header.removeLast();
    }
    for (const QByteArray& parameter : std::as_const(header)) {
        const QByteArray trimmed = parameter.trimmed();
        if (!trimmed.isEmpty() && !isParameter(trimmed))
            return std::nullopt;
    }
    const QByteArray encoded = QByteArray::fromPercentEncoding(bytes.mid(comma + 1));
    if (base64) {
        const auto decoded = QByteArray::fromBase64Encoding(withoutWhiteSpace(encoded),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        payload.data = *decoded;
    } else {
        payload.data = encoded;
    }
    if (payload.data.isEmpty())
        return std::nullopt;
    return payload;
}

QImage DataUrlImage::render(const QString& url, QSize size, qreal ratio)
{
    const std::optional<Payload> payload = parse(url);
    const QSize pixels = (QSizeF(size) * ratio).toSize();
    if (!payload || pixels.isEmpty())
        return {};
    // Drawn at ratio 1 in device pixels; the ratio is set on the finished bitmap.
    QImage bitmap = payload->mimeType == "image/svg+xml" ? renderSvg(payload->data, pixels)
                                                         : renderRaster(payload->data, pixels);
    if (!bitmap.isNull())
        bitmap.setDevicePixelRatio(ratio);
    return bitmap;
}

} // namespace orvalink::ui
