#include "UiTestSupport.h"
#include "ui/widgets/CaptchaImage.h"
#include "ui/widgets/DataUrlImage.h"
#include "ui/widgets/ImageDecodeJob.h"
#include "ui/widgets/PngChunkFilter.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>
#include <optional>

using namespace orvalink;
using namespace orvalink::ui;

namespace {

const QByteArray kRedSvg = "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 10 10'>"
                           "<rect width='10' height='10' fill='#ff0000'/></svg>";

QByteArray pngBytes(QSize size, QColor color)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return buffer.data();
}

QString base64Url(const QByteArray& type, const QByteArray& data)
{
    return QStringLiteral("data:%1;base64,%2")
        .arg(QString::fromLatin1(type), QString::fromLatin1(data.toBase64()));
}

QString percentUrl(const QByteArray& type, const QByteArray& data)
{
    return QStringLiteral("data:%1,%2")
        .arg(QString::fromLatin1(type), QString::fromLatin1(data.toPercentEncoding()));
}

int opaquePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    }
    return count;
}

} // namespace

class CaptchaImageTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::prepareWidgetTests(); }

    void decodesOnlyImageDataUrls_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QColor>("centre");

        const QByteArray bluePng = pngBytes(QSize(4, 2), QColor(0, 0, 255));
        QTest::newRow("svg, base64") << base64Url("image/svg+xml", kRedSvg) << true << QColor(255, 0, 0);
        QTest::newRow("svg, percent-encoded")
            << percentUrl("image/svg+xml;charset=utf-8", kRedSvg) << true << QColor(255, 0, 0);
        QTest::newRow("png, base64") << base64Url("image/png", bluePng) << true << QColor(0, 0, 255);
        QTest::newRow("upper-case scheme and type")
            << base64Url("image/png", bluePng)
                   .replace(QStringLiteral("data:image/png;base64"), QStringLiteral("DATA:IMAGE/PNG;BASE64"))
            << true << QColor(0, 0, 255);
        QTest::newRow("attribute breakout")
            << QStringLiteral("data:image/png;base64,AAAA\" onerror=\"x") << false << QColor();
        QTest::newRow("markup after a valid image")
            << base64Url("image/png", bluePng) + QStringLiteral("\"><script>x</script>") << false << QColor();
        QTest::newRow("base64 that is no image")
            << QStringLiteral("data:image/png;base64,AAAA") << false << QColor();
        QTest::newRow("html") << percentUrl("text/html", "<b>hi</b>") << false << QColor();
        QTest::newRow("no media type")
            << QStringLiteral("data:;base64,") + QString::fromLatin1(bluePng.toBase64()) << false << QColor();
        QTest::newRow("not a data url")
            << QStringLiteral("https://example.com/captcha.png") << false << QColor();
        QTest::newRow("no comma") << QStringLiteral("data:image/png;base64") << false << QColor();
        QTest::newRow("svg named png") << base64Url("image/png", kRedSvg) << false << QColor();
        QTest::newRow("svg with an outside image")
            << percentUrl("image/svg+xml",
                          "<svg xmlns='http://www.w3.org/2000/svg' "
                          "xmlns:xlink='http://www.w3.org/1999/xlink' viewBox='0 0 10 10'>"
                          "<image xlink:href='file:///etc/hostname' width='10' height='10'/></svg>")
            << false << QColor();
        QTest::newRow("raster too large to unpack")
            << base64Url("image/png", pngBytes(QSize(5000, 2), Qt::blue)) << false << QColor();

        // Over 1 MiB: a valid SVG padded with a comment.
        QByteArray padded = kRedSvg;
        padded.insert(padded.indexOf("<rect"), "<!--" + QByteArray(1024 * 1024, 'x') + "-->");
        QTest::newRow("over one mebibyte") << percentUrl("image/svg+xml", padded) << false << QColor();
    }

    void decodesOnlyImageDataUrls()
    {
        QFETCH(QString, url);
        QFETCH(bool, accepted);
        QFETCH(QColor, centre);

        CaptchaImage captcha;
        captcha.setPlaceholderText(QStringLiteral("Loading Captcha"));
        captcha.setDataUrl(url);
        QVERIFY(test::settleCaptchas(&captcha));
        QCOMPARE(captcha.hasImage(), accepted);
        QVERIFY(!captcha.showsPlaceholder());

        const QImage image = test::renderOffscreen(&captcha);
        QCOMPARE(image.size(), QSize(180, 56));
        if (!accepted) {
            QCOMPARE(opaquePixels(image), 0);
            return;
        }
        // Stretched over the whole box, clipped to its rounded corners.
        QCOMPARE(image.pixelColor(90, 28), centre);
        QCOMPARE(image.pixelColor(3, 28), centre);
        QCOMPARE(image.pixelColor(90, 54), centre);
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(179, 55)), 0);
    }

    void emptyUrlShowsThePlaceholder()
    {
        CaptchaImage captcha;
        captcha.setPlaceholderText(QStringLiteral("验证码加载中 Loading Captcha"));
        captcha.setDataUrl(base64Url("image/svg+xml", kRedSvg));
        captcha.setDataUrl(QString());
        QVERIFY(captcha.showsPlaceholder());
        QVERIFY(!captcha.hasImage());
        const QImage image = test::renderOffscreen(&captcha);
        test::saveScreen(image, QStringLiteral("captcha-placeholder"));
        // A faint box everywhere inside the corners, and the text over it in the middle.
        QVERIFY(qAlpha(image.pixel(5, 5)) > 0);
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        int strong = 0;
        for (int x = 0; x < 180; ++x)
            strong += qAlpha(image.pixel(x, 28)) > 60 ? 1 : 0;
        QVERIFY(strong > 10);
    }

    void parseDecodesThePayload_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("percent") << QStringLiteral("data:image/svg+xml,%3Csvg%3E%20")
                                 << QByteArray("image/svg+xml") << QByteArray("<svg> ");
        QTest::newRow("base64 with parameters") << QStringLiteral("data:image/gif;name=a.gif;base64,R0lG")
                                                << QByteArray("image/gif") << QByteArray("GIF");
        QTest::newRow("percent-escaped base64")
            << QStringLiteral("data:image/gif;base64,R0%6CG") << QByteArray("image/gif") << QByteArray("GIF");
    }

    void parseDecodesThePayload()
    {
        QFETCH(QString, url);
        const auto payload = DataUrlImage::parse(url);
        QVERIFY(payload.has_value());
        QTEST(payload->mimeType, "type");
        QTEST(payload->data, "data");
    }

    // What a browser accepts must not leave the captcha box empty.
    void lenientFormsDecode_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QColor>("centre");
        const QString png = QString::fromLatin1(pngBytes(QSize(4, 2), QColor(0, 0, 255)).toBase64());
        const QString svg = QString::fromLatin1(kRedSvg.toBase64());
        QString wrapped;
        for (qsizetype i = 0; i < png.size(); i += 20)
            wrapped += png.mid(i, 20) + QStringLiteral("\r\n");
        QString spaced = png;
        for (qsizetype i = spaced.size() - 7; i > 0; i -= 7)
            spaced.insert(i, QStringLiteral(" \t"));
        QString unpadded = svg;
        while (unpadded.endsWith(QLatin1Char('=')))
            unpadded.chop(1);
        QTest::newRow("base64 with line breaks") << "data:image/png;base64," + wrapped << QColor(0, 0, 255);
        QTest::newRow("base64 with spaces and tabs")
            << "data:image/png;base64," + spaced << QColor(0, 0, 255);
        QTest::newRow("percent-encoded line breaks")
            << "data:image/png;base64," +
                   QString(wrapped).replace(QStringLiteral("\r\n"), QStringLiteral("%0A"))
            << QColor(0, 0, 255);
        QTest::newRow("base64 without padding")
            << "data:image/svg+xml;base64," + unpadded << QColor(255, 0, 0);
        QTest::newRow("bare parameter")
            << "data:image/svg+xml;utf8," + QString::fromLatin1(kRedSvg) << QColor(255, 0, 0);
        QTest::newRow("quoted parameter")
            << "data:image/svg+xml;charset=\"utf-8\";base64," + svg << QColor(255, 0, 0);
        QTest::newRow("space around the parameters")
            << "data:image/png ; name=a.png ; base64," + png << QColor(0, 0, 255);
        QTest::newRow("surrounding white space")
            << "  \n data:image/png;base64," + png + "\n  " << QColor(0, 0, 255);
        QTest::newRow("upper-case scheme") << "DATA:image/svg+xml;base64," + svg << QColor(255, 0, 0);
    }

    void lenientFormsDecode()
    {
        QFETCH(QString, url);
        QFETCH(QColor, centre);
        CaptchaImage captcha;
        captcha.setDataUrl(url);
        QVERIFY(test::settleCaptchas(&captcha));
        QVERIFY(captcha.hasImage());
        const QImage image = test::renderOffscreen(&captcha);
        QCOMPARE(image.pixelColor(90, 28), centre);
    }

    // The picture is drawn once, at the screen's pixel ratio, and every paint reuses it.
    void drawnOnceAtThePixelRatio_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("1") << 1.0;
        QTest::newRow("2") << 2.0;
        QTest::newRow("1.5") << 1.5;
    }

    void drawnOnceAtThePixelRatio()
    {
        QFETCH(qreal, ratio);
        const QImage bitmap = DataUrlImage::render(base64Url("image/svg+xml", kRedSvg),
                                                   QSize(CaptchaImage::kWidth, CaptchaImage::kHeight), ratio);
        QCOMPARE(bitmap.size(), (QSizeF(CaptchaImage::kWidth, CaptchaImage::kHeight) * ratio).toSize());
        QCOMPARE(bitmap.devicePixelRatio(), ratio);
        QCOMPARE(bitmap.pixelColor(bitmap.width() / 2, bitmap.height() / 2), QColor(255, 0, 0));
        QCOMPARE(bitmap.pixelColor(0, 0), QColor(255, 0, 0));
        QCOMPARE(bitmap.pixelColor(bitmap.width() - 1, bitmap.height() - 1), QColor(255, 0, 0));
    }

    // A captcha as a generator writes one: what the sanitizer keeps and the bounded drawing make
    // the same picture as the renderer drawing the original directly.
    void aTypicalCaptchaLooksAsDrawnDirectly()
    {
        const QByteArray svg =
            "<?xml version='1.0' encoding='UTF-8'?>"
            "<svg xmlns='http://www.w3.org/2000/svg' width='150' height='50' viewBox='0,0,150,50'>"
            "<defs><linearGradient id='bg' x1='0' y1='0' x2='1' y2='1'>"
            "<stop offset='0' stop-color='#f4f7ff'/><stop offset='1' "
            "stop-color='#dfe8ff'/></linearGradient></defs>"
            "<rect width='100%' height='100%' fill='url(#bg)'/>"
            "<path d='M8 38 C 40 5, 80 60, 142 14' stroke='#7a8' stroke-width='2' fill='none' opacity='0.8'/>"
            "<path d='M5 12 Q 70 48 145 30' stroke='#a78' fill='none'/>"
            "<g font-family='sans-serif' font-size='28' font-weight='bold'>"
            "<text x='12' y='36' fill='#335' transform='rotate(-8 24 30)'>7</text>"
            "<text x='44' y='38' fill='#533' transform='rotate(6 56 30)'>K</text>"
            "<text x='78' y='35' fill='#353' style='fill-opacity:0.9'>q</text>"
            "<text x='108' y='37' fill='#355' transform='rotate(-4 120 30)'>3</text></g>"
            "<circle cx='130' cy='10' r='3' fill='#c55'/><ellipse cx='20' cy='44' rx='6' ry='2' fill='#55c'/>"
            "<polyline points='0,25 30,20 60,28 90,18 150,26' stroke='#999' fill='none'/></svg>";
        const QImage bitmap = DataUrlImage::render(base64Url("image/svg+xml", svg), QSize(180, 56), 1);
        QVERIFY(!bitmap.isNull());
        QSvgRenderer renderer(svg);
        renderer.setAspectRatioMode(Qt::IgnoreAspectRatio);
        QImage direct(QSize(180, 56), QImage::Format_ARGB32_Premultiplied);
        direct.fill(Qt::transparent);
        QPainter painter(&direct);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        renderer.render(&painter, QRectF(0, 0, 180, 56));
        painter.end();
        int different = 0;
        for (int y = 0; y < 56; ++y) {
            for (int x = 0; x < 180; ++x) {
                const QRgb a = bitmap.pixel(x, y);
                const QRgb b = direct.pixel(x, y);
                different += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                                         std::abs(qBlue(a) - qBlue(b)) + std::abs(qAlpha(a) - qAlpha(b)) >
                                     8
                                 ? 1
                                 : 0;
            }
        }
        QCOMPARE(different, 0);
        CaptchaImage captcha;
        captcha.setDataUrl(base64Url("image/svg+xml", svg));
        QVERIFY(test::settleCaptchas(&captcha));
        test::saveScreen(test::renderOffscreen(&captcha), QStringLiteral("captcha-typical"));
    }

    // The decoder process hands back the bitmap at the size asked for, or nothing.
    void theDecoderProcessHandsBackTheBitmap_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<QColor>("colour"); // invalid: no picture
        const QString png = base64Url("image/png", pngBytes(QSize(4, 2), QColor(0, 0, 255)));
        QTest::newRow("svg") << base64Url("image/svg+xml", kRedSvg) << QSize(180, 56) << QColor(255, 0, 0);
        QTest::newRow("svg at twice the ratio")
            << base64Url("image/svg+xml", kRedSvg) << QSize(360, 112) << QColor(255, 0, 0);
        QTest::newRow("png") << png << QSize(180, 56) << QColor(0, 0, 255);
        // Large enough for Qt to spread its work over threads.
        QTest::newRow("large png") << base64Url("image/png", pngBytes(QSize(2000, 2000), QColor(0, 0, 255)))
                                   << QSize(180, 56) << QColor(0, 0, 255);
        QTest::newRow("no image") << QStringLiteral("data:image/png;base64,AAAA") << QSize(180, 56)
                                  << QColor();
        QTest::newRow("empty") << QString() << QSize(180, 56) << QColor();
        QTest::newRow("bitmap too large") << png << QSize(4000, 10) << QColor();
    }

    void theDecoderProcessHandsBackTheBitmap()
    {
        QFETCH(QString, url);
        QFETCH(QSize, pixels);
        QFETCH(QColor, colour);
        ImageDecodeJob* job = ImageDecodeJob::start(url, pixels);
        std::optional<std::pair<QImage, ImageDecodeJob::Outcome>> result;
        connect(
            job, &ImageDecodeJob::finished, this,
            [&](const QImage& bitmap, ImageDecodeJob::Outcome outcome) { result.emplace(bitmap, outcome); });
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 20000);
        const auto& [bitmap, outcome] = *result;
        if (!colour.isValid()) {
            QCOMPARE(outcome, ImageDecodeJob::Outcome::NoPicture);
            QVERIFY(bitmap.isNull());
            return;
        }
        QCOMPARE(outcome, ImageDecodeJob::Outcome::Drawn);
        QCOMPARE(bitmap.size(), pixels);
        for (const QPoint point : {QPoint(0, 0), QPoint(pixels.width() / 2, pixels.height() / 2),
                                   QPoint(pixels.width() - 1, pixels.height() - 1)})
            QCOMPARE(bitmap.pixelColor(point), colour);
    }

    // Text and every other chunk beside the picture never reach the PNG decoder.
    void pngKeepsOnlyItsPicture()
    {
        QImage image(QSize(3, 2), QImage::Format_ARGB32);
        image.fill(QColor(10, 200, 30, 128));
        image.setText(QStringLiteral("Comment"), QString(5000, QLatin1Char('x')));
        image.setText(QStringLiteral("Title"), QStringLiteral("short"));
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(QImageWriter(&buffer, "png").write(image));
        const QByteArray png = buffer.data();
        QVERIFY(png.contains("Comment") && png.contains("Title"));

        const std::optional<QByteArray> picture = PngChunkFilter::pictureOnly(png + "trailing bytes");
        QVERIFY(picture);
        QVERIFY(!picture->contains("Comment") && !picture->contains("Title"));
        QVERIFY(picture->endsWith("IEND\xae\x42\x60\x82"));
        QImage decoded = QImage::fromData(*picture, "png");
        QVERIFY(decoded.textKeys().isEmpty());
        QCOMPARE(decoded.convertToFormat(QImage::Format_ARGB32),
                 image.convertToFormat(QImage::Format_ARGB32));

        QVERIFY(!PngChunkFilter::pictureOnly(png.left(png.size() - 12)));  // no end chunk
        QVERIFY(!PngChunkFilter::pictureOnly(png.left(40)));               // a chunk cut short
        QVERIFY(!PngChunkFilter::pictureOnly(QByteArray("GIF89a") + png)); // not a PNG
    }

    // The pen counts towards what a shape covers: one wider than the picture is left out, the
    // rest is drawn.
    void wideStrokesAreLeftOut_data()
    {
        QTest::addColumn<QByteArray>("stroke");
        QTest::addColumn<QColor>("centre");
        QTest::newRow("moderate") << QByteArray("stroke-width='10'") << QColor(255, 0, 0);
        QTest::newRow("wider than the picture") << QByteArray("stroke-width='1000'") << QColor(0, 0, 255);
        QTest::newRow("mitred spike reaching far out")
            << QByteArray("stroke-width='20' stroke-linejoin='miter' stroke-miterlimit='1000'")
            << QColor(0, 0, 255);
    }

    void wideStrokesAreLeftOut()
    {
        QFETCH(QByteArray, stroke);
        QFETCH(QColor, centre);
        const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 100 30'>"
                               "<rect width='100' height='30' fill='#0000ff'/>"
                               "<polyline fill='none' stroke='#ff0000' " +
                               stroke + " points='10,14 90,15 10,16'/></svg>";
        const QImage bitmap = DataUrlImage::render(base64Url("image/svg+xml", svg), QSize(180, 56), 1);
        QVERIFY(!bitmap.isNull());
        QCOMPARE(bitmap.pixelColor(90, 28), centre);
    }

    void parseRefusesMalformedHeaders_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("bad parameter") << QStringLiteral("data:image/png;x\"y;base64,R0lG");
        QTest::newRow("type with a quote") << QStringLiteral("data:image/pn\"g;base64,R0lG");
        QTest::newRow("broken base64") << QStringLiteral("data:image/png;base64,R0!G");
        QTest::newRow("empty payload") << QStringLiteral("data:image/png;base64,");
        QTest::newRow("video") << QStringLiteral("data:video/mp4;base64,R0lG");
    }

    void parseRefusesMalformedHeaders()
    {
        QFETCH(QString, url);
        QVERIFY(!DataUrlImage::parse(url).has_value());
    }
};

QTEST_MAIN(CaptchaImageTest)
#include "tst_captchaimage.moc"
