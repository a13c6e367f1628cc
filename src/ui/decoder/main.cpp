// The image decoder process (ImageDecodeJob starts it): reads an image data URL from standard
// input, draws it stretched over <width> × <height> pixels (DataUrlImage) and writes the bitmap to
// standard output, rows of ARGB32 premultiplied pixels from the top, nothing between them. Exits
// 0 after a bitmap, 1 when the URL is no usable image, 2 on wrong arguments. Whatever the picture
// makes it do happens here, under the limits its parent set, and never in the window's process.
#include "ui/widgets/DataUrlImage.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <sched.h>

using orvalink::ui::DataUrlImage;

namespace {

int side(const char* text)
{
    bool ok = false;
    const int value = QByteArray(text).toInt(&ok);
    return ok && value > 0 && value <= DataUrlImage::kMaxRasterSide ? value : 0;
}

// Keeps the process on one processor. Qt's image routines split a large picture over as many
// threads as there are processors, each with a stack that counts towards the address-space limit,
// and wait for good on a thread that could not start: on a machine with many processors a large
// picture would never finish.
void useOneProcessor()
{
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof(allowed), &allowed) != 0)
        return;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &allowed)) {
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(cpu, &one);
            sched_setaffinity(0, sizeof(one), &one);
            return;
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3)
        return 2;
    const QSize pixels(side(argv[1]), side(argv[2]));
    if (pixels.isEmpty())
        return 2;
    useOneProcessor();
    // Text in a vector image needs the font database, which needs an application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int appArgc = 1;
    QGuiApplication app(appArgc, argv);

    // fread() waits for the whole URL, which arrives through a pipe in pieces.
    QByteArray url(DataUrlImage::kMaxUrlBytes + 1, Qt::Uninitialized);
    url.truncate(qsizetype(std::fread(url.data(), 1, size_t(url.size()), stdin)));
    if (std::ferror(stdin) || url.size() > DataUrlImage::kMaxUrlBytes)
        return 1;
    const QImage bitmap = DataUrlImage::render(QString::fromUtf8(url), pixels, 1)
                              .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (bitmap.isNull() || bitmap.size() != pixels)
        return 1;

    QFile output;
    if (!output.open(stdout, QIODevice::WriteOnly))
        return 1;
    const qsizetype rowBytes = qsizetype(pixels.width()) * 4;
    for (int y = 0; y < pixels.height(); ++y) {
        if (output.write(reinterpret_cast<const char*>(bitmap.constScanLine(y)), rowBytes) != rowBytes)
            return 1;
    }
    return output.flush() ? 0 : 1;
}
