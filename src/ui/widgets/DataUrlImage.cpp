#include "ui/widgets/DataUrlImage.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QXmlStreamReader>

namespace orvalink::ui {

namespace {

bool isImageMediaType(const QByteArray& type)
{
    static const QRegularExpression pattern(QStringLiteral("^image/[a-z0-9][a-z0-9.+-]*$"));
    return pattern.match(QString::fromLatin1(type)).hasMatch();
}

bool isParameter(const QByteArray& parameter)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9!#$&^_.+-]+=[^;,\"<>\\s]*$"));
    return pattern.match(QString::fromLatin1(parameter)).hasMatch();
}

bool isInternalReference(QStringView href)
{
    return href.isEmpty() || href.startsWith(QLatin1Char('#')) ||
           href.trimmed().startsWith(QLatin1String("data:"), Qt::CaseInsensitive);
}

// An SVG document that names nothing outside itself: no image, stylesheet or other link to a
// file or address, only fragments of the document and embedded data.
bool isSelfContainedSvg(const QByteArray& data)
{
    QXmlStreamReader reader(data);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        for (const QXmlStreamAttribute& attribute : reader.attributes()) {
            if (attribute.name() == QLatin1String("href") && !isInternalReference(attribute.value()))
                return false;
        }
    }
    return !reader.hasError();
}

QImage readRaster(const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Vector formats go through the checked SVG path only, whatever the URL called them.
    const QByteArray format = reader.format();
    if (format.isEmpty() || format.startsWith("svg"))
        return {};
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > DataUrlImage::kMaxRasterSide ||
        size.height() > DataUrlImage::kMaxRasterSide)
        return {};
    return reader.read();
}

} // namespace

std::optional<DataUrlImage::Payload> DataUrlImage::parse(const QString& url)
{
    const QByteArray bytes = url.toUtf8();
    if (bytes.size() > kMaxUrlBytes || !bytes.left(5).toLower().startsWith("data:"))
        return std::nullopt;
    const qsizetype comma = bytes.indexOf(',');
    if (comma < 0)
        return std::nullopt;
    QList<QByteArray> header = bytes.mid(5, comma - 5).split(';');
    Payload payload;
    payload.mimeType = header.takeFirst().toLower();
    if (!isImageMediaType(payload.mimeType))
        return std::nullopt;
    bool base64 = false;
    if (!header.isEmpty() && header.last().toLower() == "base64") {
        base64 = true;
        header.removeLast();
    }
    for (const QByteArray& parameter : std::as_const(header)) {
        if (!isParameter(parameter))
            return std::nullopt;
    }
    const QByteArray encoded = QByteArray::fromPercentEncoding(bytes.mid(comma + 1));
    if (base64) {
        const auto decoded = QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
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

DataUrlImage DataUrlImage::fromUrl(const QString& url)
{
    DataUrlImage image;
    const std::optional<Payload> payload = parse(url);
    if (!payload)
        return image;
    if (payload->mimeType == "image/svg+xml") {
        if (!isSelfContainedSvg(payload->data))
            return image;
        auto renderer = std::make_unique<QSvgRenderer>(payload->data);
        if (renderer->isValid())
            image.m_svg = std::move(renderer);
    } else {
        image.m_raster = readRaster(payload->data);
    }
    return image;
}

DataUrlImage::DataUrlImage() = default;
DataUrlImage::~DataUrlImage() = default;
DataUrlImage::DataUrlImage(DataUrlImage&&) noexcept = default;
DataUrlImage& DataUrlImage::operator=(DataUrlImage&&) noexcept = default;

bool DataUrlImage::isNull() const
{
    return !m_svg && m_raster.isNull();
}

QSize DataUrlImage::size() const
{
    return m_svg ? m_svg->defaultSize() : m_raster.size();
}

void DataUrlImage::paint(QPainter* painter, const QRectF& target) const
{
    if (m_svg) {
        m_svg->setAspectRatioMode(Qt::IgnoreAspectRatio);
        m_svg->render(painter, target);
    } else if (!m_raster.isNull()) {
        painter->save();
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(target, m_raster);
        painter->restore();
    }
}

} // namespace orvalink::ui
