#include "guide/AnimatedGifWriter.h"

#include "guide/ColorQuantizer.h"
#include "guide/ExportError.h"
#include "platform/FolderWriter.h"

#include <gif_lib.h>
#include <memory>
#include <vector>

namespace orvalink::guide {

namespace {

constexpr int largestGifField = 0xffff;

[[noreturn]] void fail()
{
    throw ExportError(ExportError::Case::gifEncodingFailed);
}

void check(int giflibResult)
{
    if (giflibResult != GIF_OK)
        fail();
}

int appendToBuffer(GifFileType* gif, const GifByteType* data, int length)
{
    // An exception must not unwind through giflib; a short count makes it report the failure.
    try {
        static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
        return length;
    } catch (...) {
        return 0;
    }
}

struct GifCloser {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        EGifCloseFile(gif, &error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

struct ColorMapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using ColorMapHandle = std::unique_ptr<ColorMapObject, ColorMapDeleter>;

void validate(const QList<GuideGifFrame>& frames)
{
    if (frames.isEmpty())
        fail();
    const QSize size = frames.front().image.size();
    if (size.width() > largestGifField || size.height() > largestGifField)
        fail();
    for (const GuideGifFrame& frame : frames) {
        if (frame.image.isNull() || frame.image.size() != size)
            fail();
        if (frame.delayCentiseconds < 0 || frame.delayCentiseconds > largestGifField)
            fail();
    }
}

void putLoopForever(GifFileType* gif)
{
    static const char application[] = "NETSCAPE2.0";
    // Sub-block 1, then the loop count as a little-endian 16-bit number; 0 repeats without end.
    const GifByteType loop[3] = {1, 0, 0};
    check(EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE));
    check(EGifPutExtensionBlock(gif, sizeof application - 1, application));
    check(EGifPutExtensionBlock(gif, sizeof loop, loop));
    check(EGifPutExtensionTrailer(gif));
}

void putDelay(GifFileType* gif, int delayCentiseconds)
{
    GraphicsControlBlock control{};
    // Every frame covers the whole canvas, so nothing of the previous one needs restoring.
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = delayCentiseconds;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension));
}

ColorMapHandle colorMap(const QList<QRgb>& palette)
{
    // giflib takes only tables of a power of two; the unused tail stays black.
    std::vector<GifColorType> colors(std::size_t(1) << GifBitSize(int(palette.size())),
                                     GifColorType{0, 0, 0});
    for (qsizetype i = 0; i < palette.size(); ++i) {
        colors[std::size_t(i)] = GifColorType{GifByteType(qRed(palette[i])), GifByteType(qGreen(palette[i])),
                                              GifByteType(qBlue(palette[i]))};
    }
    ColorMapHandle map(GifMakeMapObject(int(colors.size()), colors.data()));
    if (!map)
        fail();
    return map;
}

void putImage(GifFileType* gif, const QImage& image)
{
    QuantizedImage quantized = quantizeImage(image);
    const ColorMapHandle map = colorMap(quantized.palette);
    check(EGifPutImageDesc(gif, 0, 0, quantized.width, quantized.height, false, map.get()));
    auto* pixels = reinterpret_cast<GifPixelType*>(quantized.indices.data());
    for (int y = 0; y < quantized.height; ++y)
        check(EGifPutLine(gif, pixels + qsizetype(y) * quantized.width, quantized.width));
}

} // namespace

QByteArray encodeAnimatedGif(const QList<GuideGifFrame>& frames)
{
    validate(frames);
    QByteArray bytes;
    int error = 0;
    GifHandle gif(EGifOpen(&bytes, appendToBuffer, &error));
    if (!gif)
        fail();
    EGifSetGifVersion(gif.get(), true);
    const QSize size = frames.front().image.size();
    check(EGifPutScreenDesc(gif.get(), size.width(), size.height(), 8, 0, nullptr));
    putLoopForever(gif.get());
    for (const GuideGifFrame& frame : frames) {
        putDelay(gif.get(), frame.delayCentiseconds);
        putImage(gif.get(), frame.image);
    }
    // Closing writes the trailer byte but does not report whether that write succeeded.
    if (EGifCloseFile(gif.release(), &error) != GIF_OK || !bytes.endsWith(';'))
        fail();
    return bytes;
}

void writeAnimatedGif(const QList<GuideGifFrame>& frames, const platform::FolderWriter& folder,
                      const QString& name)
{
    folder.replaceFile(name, encodeAnimatedGif(frames));
}

} // namespace orvalink::guide
