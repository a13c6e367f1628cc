#include "ui/widgets/PngChunkFilter.h"

#include <QtEndian>
#include <array>

namespace orvalink::ui {

namespace {

constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";
constexpr qsizetype kSignatureBytes = 8;
// Length and type before the data, checksum after it.
constexpr qsizetype kFrameBytes = 12;

bool drawsThePicture(QByteArrayView type)
{
    static constexpr std::array<const char*, 5> kKept{"IHDR", "PLTE", "tRNS", "IDAT", "IEND"};
    for (const char* kept : kKept) {
        if (type == QByteArrayView(kept, 4))
            return true;
    }
    return false;
}

} // namespace

std::optional<QByteArray> PngChunkFilter::pictureOnly(const QByteArray& png)
{
    if (!png.startsWith(QByteArrayView(kSignature, kSignatureBytes)))
        return std::nullopt;
    QByteArray kept = png.left(kSignatureBytes);
    qsizetype position = kSignatureBytes;
    while (position + kFrameBytes <= png.size()) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + position);
        if (length > quint32(png.size() - position - kFrameBytes))
            return std::nullopt;
        const QByteArrayView type(png.constData() + position + 4, 4);
        const qsizetype chunkBytes = kFrameBytes + qsizetype(length);
        if (drawsThePicture(type))
            kept.append(png.constData() + position, chunkBytes);
        position += chunkBytes;
        if (type == "IEND")
            return kept;
    }
    return std::nullopt;
}

} // namespace orvalink::ui
