// Reducing rendered frames to a GIF palette.
#include "guide/ColorQuantizer.h"

#include <QTest>
#include <algorithm>
#include <cstdlib>

using namespace orvalink::guide;

namespace {

// `count` distinct colours spread over the RGB cube, one per pixel and nothing else.
QImage spreadColors(int count)
{
    const int width = std::min(count, 64);
    Q_ASSERT(count % width == 0);
    QImage image(width, count / width, QImage::Format_RGB32);
    for (int i = 0; i < count; ++i) {
        // Walk a 16 x 16 x 16 lattice (steps of 17) so every colour is distinct.
        image.setPixel(i % width, i / width, qRgb((i % 16) * 17, (i / 16 % 16) * 17, (i / 256 % 16) * 17));
    }
    return image;
}

int channelError(QRgb a, QRgb b)
{
    return std::max(
        {std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

} // namespace

class ColorQuantizerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyPixelMapsToANearbyPaletteColor_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<int>("maxColors");
        QTest::addColumn<int>("paletteSize");
        QTest::addColumn<int>("tolerance");

        QImage flat(40, 30, QImage::Format_ARGB32_Premultiplied);
        flat.fill(qRgb(250, 248, 240));
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 40; ++x)
                flat.setPixel(x, y, x < 20 ? qRgb(255, 94, 84) : qRgb(48, 207, 89));
        }
        flat.setPixel(39, 29, qRgb(1, 2, 3));
        QTest::newRow("four colours stay exact") << flat << 256 << 4 << 0;
        QTest::newRow("exactly 256 colours stay exact") << spreadColors(256) << 256 << 256 << 0;
        // 4096 lattice colours in 256 boxes: each box spans a few lattice steps of 17.
        QTest::newRow("4096 colours in 256") << spreadColors(4096) << 256 << 256 << 26;
        QTest::newRow("16 colours in 4") << spreadColors(16) << 4 << 4 << 26;
        QImage single(8, 8, QImage::Format_RGB32);
        single.fill(qRgb(12, 34, 56));
        QTest::newRow("one colour") << single << 256 << 1 << 0;
    }

    void everyPixelMapsToANearbyPaletteColor()
    {
        QFETCH(QImage, image);
        QFETCH(int, maxColors);
        QFETCH(int, paletteSize);
        QFETCH(int, tolerance);

        const QuantizedImage quantized = quantizeImage(image, maxColors);
        QCOMPARE(quantized.width, image.width());
        QCOMPARE(quantized.height, image.height());
        QCOMPARE(quantized.palette.size(), paletteSize);
        QCOMPARE(quantized.indices.size(), qsizetype(image.width()) * image.height());
        int worst = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const auto index = uchar(quantized.indices.at(qsizetype(y) * image.width() + x));
                QVERIFY2(index < quantized.palette.size(), qPrintable(QStringLiteral("index %1").arg(index)));
                worst = std::max(worst, channelError(quantized.palette.at(index), image.pixel(x, y)));
            }
        }
        QVERIFY2(worst <= tolerance, qPrintable(QStringLiteral("largest channel error %1").arg(worst)));
    }

    void largeFlatAreasKeepTheirColorAmongManyOthers()
    {
        // A window-like frame: two big flat areas plus a smooth band of thousands of colours. The
        // flat areas cover most pixels and must come out (almost) exactly.
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(qRgb(236, 236, 236));
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 400; ++x)
                image.setPixel(x, 200 + y, qRgb(x * 255 / 399, y * 255 / 99, 128));
        }
        for (int y = 50; y < 150; ++y) {
            for (int x = 50; x < 150; ++x)
                image.setPixel(x, y, qRgb(10, 132, 255));
        }
        const QuantizedImage quantized = quantizeImage(image);
        QCOMPARE(quantized.palette.size(), 256);
        const auto at = [&quantized](int x, int y) {
            return quantized.palette.at(uchar(quantized.indices.at(qsizetype(y) * quantized.width + x)));
        };
        QVERIFY(channelError(at(10, 10), qRgb(236, 236, 236)) <= 2);
        QVERIFY(channelError(at(100, 100), qRgb(10, 132, 255)) <= 2);
        QVERIFY(channelError(at(399, 299), qRgb(255, 255, 128)) <= 32);
    }

    // A gauge's thin gradient arc covers few pixels beside thousands of colours of text and
    // gradients that cover many: its pixels share boxes with other hues, and must still come out
    // close to their own colour, not as the box's muddy average.
    void fewPixelsOfOneHueKeepTheirHue()
    {
        QImage image(600, 400, QImage::Format_RGB32);
        image.fill(qRgb(228, 228, 228));
        for (int y = 0; y < 300; ++y) {
            for (int x = 0; x < 600; ++x)
                image.setPixel(x, y, qRgb(x * 255 / 599, (x + y) * 255 / 899, y * 255 / 299));
        }
        const QRect arc(40, 330, 200, 12);
        for (int y = arc.top(); y <= arc.bottom(); ++y) {
            for (int x = arc.left(); x <= arc.right(); ++x)
                image.setPixel(x, y, qRgb(60 + x % 80, 200 + y % 12, 110 + x % 40));
        }
        const QuantizedImage quantized = quantizeImage(image);
        int worst = 0;
        for (int y = arc.top(); y <= arc.bottom(); ++y) {
            for (int x = arc.left(); x <= arc.right(); ++x) {
                const QRgb found =
                    quantized.palette.at(uchar(quantized.indices.at(qsizetype(y) * image.width() + x)));
                worst = std::max(worst, channelError(found, image.pixel(x, y)));
            }
        }
        QVERIFY2(worst <= 24, qPrintable(QStringLiteral("largest channel error %1").arg(worst)));
    }

    void emptyImageGivesNothing()
    {
        const QuantizedImage quantized = quantizeImage(QImage());
        QVERIFY(quantized.palette.isEmpty());
        QVERIFY(quantized.indices.isEmpty());
    }
};

QTEST_GUILESS_MAIN(ColorQuantizerTest)
#include "tst_colorquantizer.moc"
