#include "HostileImages.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QtEndian>

namespace orvalink::test::HostileImages {

namespace {

const QByteArray kSvgOpen = "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 100 30'>"
                            "<rect width='100' height='30' fill='#08f'/>";

quint32 crc32(QByteArrayView bytes)
{
    quint32 crc = 0xffffffffU;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320U & (0U - (crc & 1U)));
    }
    return ~crc;
}

QByteArray pngChunk(const QByteArray& type, const QByteArray& data)
{
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), chunk.data());
    chunk += type + data;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(crc32(QByteArrayView(chunk).sliced(4)), crc.data());
    return chunk + crc;
}

// A JPEG marker segment: the marker, the length of what follows counting itself, the body.
QByteArray jpegSegment(quint8 marker, const QByteArray& body)
{
    QByteArray segment("\xff");
    segment += char(marker);
    segment += char((body.size() + 2) >> 8);
    segment += char((body.size() + 2) & 0xff);
    return segment + body;
}

QByteArray jpegScan(quint8 firstCoefficient, quint8 lastCoefficient)
{
    // One component (id 1, tables 0 and 0), the band of coefficients, no successive approximation.
    QByteArray body("\x01\x01", 2);
    body += char(0);
    body += char(firstCoefficient);
    body += char(lastCoefficient);
    body += char(0);
    return jpegSegment(0xda, body);
}

} // namespace

QByteArray wideRoundPolyline(int points)
{
    QByteArray svg = kSvgOpen + "<polyline fill='none' stroke='#000' stroke-width='100000' "
                                "stroke-linejoin='round' points='";
    for (int i = 0; i < points; ++i)
        svg += QByteArray::number(i % 10) + ',' + QByteArray::number((i * 3) % 10) + ' ';
    return svg + "'/></svg>";
}

QByteArray combiningMarks(int marks)
{
    QByteArray svg = kSvgOpen + "<text x='10' y='20' font-size='12'>a";
    const QByteArray acute = QString(QChar(0x0301)).toUtf8();
    svg.reserve(svg.size() + marks * acute.size() + 16);
    for (int i = 0; i < marks; ++i)
        svg += acute;
    return svg + "</text></svg>";
}

QByteArray pngWithTextChunks(int chunks, int unpackedBytes)
{
    QImage image(QSize(4, 4), QImage::Format_ARGB32);
    image.fill(QColor(0, 0x88, 0xff));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    QByteArray png = buffer.data();
    // Keyword, separator, compression method 0, then the zlib stream (qCompress puts the
    // unpacked length in front of it).
    const QByteArray text =
        QByteArray("Comment") + '\0' + '\0' + qCompress(QByteArray(unpackedBytes, 'a'), 9).mid(4);
    const QByteArray chunk = pngChunk("zTXt", text);
    const qsizetype end = png.size() - 12; // the IEND chunk
    QByteArray extra;
    for (int i = 0; i < chunks; ++i)
        extra += chunk;
    return png.insert(end, extra);
}

QByteArray progressiveJpegWithEmptyScans(int side, int scans)
{
    QByteArray jpeg("\xff\xd8");
    jpeg += jpegSegment(0xdb, QByteArray(1, '\0') + QByteArray(64, '\1'));
    QByteArray frame(1, '\x08');
    for (int i = 0; i < 2; ++i) {
        frame += char(side >> 8);
        frame += char(side & 0xff);
    }
    frame += QByteArray("\x01\x01\x11", 3) + '\0';
    jpeg += jpegSegment(0xc2, frame);
    // A DC and an AC table, each with one code of one bit for symbol 0.
    QByteArray tables;
    for (const char tableClass : {'\x00', '\x10'}) {
        tables += tableClass;
        tables += '\1' + QByteArray(15, '\0');
        tables += '\0';
    }
    jpeg += jpegSegment(0xc4, tables);
    jpeg += jpegScan(0, 0);
    for (int i = 0; i < scans; ++i)
        jpeg += jpegScan(1, 63);
    return jpeg + "\xff\xd9";
}

QString dataUrl(const QByteArray& type, const QByteArray& data)
{
    return QStringLiteral("data:") + QString::fromLatin1(type) + QStringLiteral(";base64,") +
           QString::fromLatin1(data.toBase64());
}

} // namespace orvalink::test::HostileImages
