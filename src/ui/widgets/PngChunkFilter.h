#pragma once

#include <QByteArray>
#include <optional>

namespace orvalink::ui {

// Keeps of a PNG file only what draws its picture: the header, the palette, the transparency and
// the image data, up to the end chunk. Text, colour profiles, animation frames and every other
// ancillary chunk are dropped before a decoder sees them, since their decompressed size lies
// outside any limit on the picture (a hundred compressed text chunks of 8 MB each fit in a small
// file). Chunk checksums are left for the decoder to verify.
class PngChunkFilter {
public:
    // The file without its ancillary chunks; none when it is not a PNG or its chunks do not add up.
    static std::optional<QByteArray> pictureOnly(const QByteArray& png);
};

} // namespace orvalink::ui
