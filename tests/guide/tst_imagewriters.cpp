// The PNG and animated GIF files of the guide export: what a reader finds in them, and what is left
// on disk when writing fails.
#include "guide/AnimatedGifWriter.h"
#include "guide/ExportError.h"
#include "guide/PngWriter.h"
#include "platform/FileIO.h"
#include "platform/FolderWriter.h"
#include "platform/PlatformError.h"
#include "support/ImmutableFlag.h"
#include "support/TestHome.h"
#include "support/TmpfsMount.h"
#include "support/TreeSnapshot.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>
#include <array>
#include <cstdlib>
#include <functional>
#include <gif_lib.h>

using namespace orvalink;
using namespace orvalink::guide;

namespace {

using Quadrants = std::array<QRgb, 4>;

const QList<Quadrants> frameColors = {
    {qRgb(245, 237, 227), qRgb(255, 94, 84), qRgb(48, 207, 89), qRgb(30, 30, 36)},
    {qRgb(10, 132, 255), qRgb(255, 191, 51), qRgb(255, 255, 255), qRgb(120, 60, 170)},
    {qRgb(0, 0, 0), qRgb(232, 242, 237), qRgb(200, 30, 120), qRgb(90, 160, 200)},
};

// Four solid quadrants over the top four fifths; with `band`, a smooth strip below them adds
// thousands of colours, as anti-aliased text and gradients do in a real render.
QImage quadrantFrame(QSize size, const Quadrants& colors, bool band)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    const int bandTop = band ? size.height() * 4 / 5 : size.height();
    QPainter painter(&image);
    const int halfWidth = size.width() / 2;
    const int halfHeight = bandTop / 2;
    painter.fillRect(0, 0, halfWidth, halfHeight, QColor(colors[0]));
    painter.fillRect(halfWidth, 0, size.width() - halfWidth, halfHeight, QColor(colors[1]));
    painter.fillRect(0, halfHeight, halfWidth, bandTop - halfHeight, QColor(colors[2]));
    painter.fillRect(halfWidth, halfHeight, size.width() - halfWidth, bandTop - halfHeight,
                     QColor(colors[3]));
    painter.end();
    for (int y = bandTop; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(
                x, y,
                qRgb(x * 255 / (size.width() - 1), (y - bandTop) * 255 / (size.height() - bandTop), 128));
        }
    }
    return image;
}

QList<QPoint> quadrantCentres(QSize size, bool band)
{
    const int bandTop = band ? size.height() * 4 / 5 : size.height();
    const int w = size.width();
    return {{w / 4, bandTop / 4},
            {w * 3 / 4, bandTop / 4},
            {w / 4, bandTop * 3 / 4},
            {w * 3 / 4, bandTop * 3 / 4}};
}

QImage noise(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    auto* random = QRandomGenerator::global();
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, random->generate() | 0xff000000u);
    }
    return image;
}

int channelError(QRgb a, QRgb b)
{
    return std::max(
        {std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

QStringList entriesOf(const QString& directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                     QDir::Name);
}

std::optional<ExportError::Case> exportErrorOf(const std::function<void()>& work)
{
    try {
        work();
    } catch (const ExportError& error) {
        return error.errorCase();
    }
    return std::nullopt;
}

int readFromBuffer(GifFileType* gif, GifByteType* data, int length)
{
    return int(static_cast<QBuffer*>(gif->UserData)->read(reinterpret_cast<char*>(data), length));
}

struct DecodedGif {
    QList<int> delays;                   // of each image's graphics control block, in centiseconds
    QList<QByteArray> leadingExtensions; // the blocks before the first image
};

// What giflib itself finds in the bytes, below what image readers make of them.
std::optional<DecodedGif> decodeGif(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    int error = 0;
    GifFileType* gif = DGifOpen(&buffer, readFromBuffer, &error);
    if (!gif)
        return std::nullopt;
    std::optional<DecodedGif> decoded;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
        decoded.emplace();
        for (int i = 0; i < gif->ImageCount; ++i) {
            GraphicsControlBlock control{};
            decoded->delays.append(DGifSavedExtensionToGCB(gif, i, &control) == GIF_OK ? control.DelayTime
                                                                                       : -1);
        }
        const SavedImage& first = gif->SavedImages[0];
        for (int i = 0; i < first.ExtensionBlockCount; ++i) {
            const ExtensionBlock& block = first.ExtensionBlocks[i];
            decoded->leadingExtensions.append(
                QByteArray::number(block.Function, 16) + ':' +
                QByteArray(reinterpret_cast<const char*>(block.Bytes), block.ByteCount).toHex());
        }
    }
    DGifCloseFile(gif, &error);
    return decoded;
}

// The writers take a folder and a name; the cases here speak of whole paths.
void writePngAt(const QImage& image, const QString& path)
{
    const QFileInfo info(path);
    writePng(image, platform::FolderWriter(info.path()), info.fileName());
}

void writeGifAt(const QList<GuideGifFrame>& frames, const QString& path)
{
    const QFileInfo info(path);
    writeAnimatedGif(frames, platform::FolderWriter(info.path()), info.fileName());
}

// The two writers behind one switch, so every file-system case runs against both.
enum class Writer { png, gif };

QByteArray encoded(Writer writer, const QImage& image)
{
    if (writer == Writer::png)
        return encodePng(image);
    return encodeAnimatedGif({{image, 100}, {image.mirrored(), 50}});
}

void write(Writer writer, const QImage& image, const QString& path)
{
    if (writer == Writer::png)
        writePngAt(image, path);
    else
        writeGifAt({{image, 100}, {image.mirrored(), 50}}, path);
}

void addWriterRows()
{
    QTest::addColumn<Writer>("writer");
    QTest::newRow("png") << Writer::png;
    QTest::newRow("gif") << Writer::gif;
}

} // namespace

Q_DECLARE_METATYPE(Writer)

class ImageWritersTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void gifHoldsTheFramesInOrderAndLoopsForever_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QList<int>>("delays");
        QTest::addColumn<bool>("band");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("window tour") << QSize(1280, 804) << QList<int>{105, 105, 135} << true << 8;
        QTest::newRow("selection tour") << QSize(1280, 804) << QList<int>{100, 110, 135} << true << 8;
        // Readers show delays below 2 cs as 10 cs, so the shortest checked here is 2.
        QTest::newRow("few colours stay exact") << QSize(61, 37) << QList<int>{2, 7, 65535} << false << 0;
    }

    void gifHoldsTheFramesInOrderAndLoopsForever()
    {
        QFETCH(QSize, size);
        QFETCH(QList<int>, delays);
        QFETCH(bool, band);
        QFETCH(int, tolerance);
        test::TestHome home;
        QList<GuideGifFrame> frames;
        for (int i = 0; i < 3; ++i)
            frames.append({quadrantFrame(size, frameColors[i], band), delays[i]});
        const QString path = home.path("tour.gif");
        writeGifAt(frames, path);
        QCOMPARE(entriesOf(home.root()).filter(QStringLiteral("tour")),
                 QStringList{QStringLiteral("tour.gif")});

        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("gif"));
        QVERIFY(reader.supportsAnimation());
        QCOMPARE(reader.imageCount(), 3);
        QCOMPARE(reader.loopCount(), -1);
        QCOMPARE(reader.size(), size);
        for (int i = 0; i < 3; ++i) {
            const QImage frame = reader.read();
            QVERIFY2(!frame.isNull(), qPrintable(reader.errorString()));
            QCOMPARE(frame.size(), size);
            QCOMPARE(reader.nextImageDelay(), delays[i] * 10);
            const QList<QPoint> centres = quadrantCentres(size, band);
            for (int q = 0; q < 4; ++q) {
                const QRgb found = frame.pixel(centres[q]);
                QVERIFY2(channelError(found, frameColors[i][q]) <= tolerance,
                         qPrintable(QStringLiteral("frame %1 quadrant %2: %3 instead of %4")
                                        .arg(i)
                                        .arg(q)
                                        .arg(found, 8, 16)
                                        .arg(frameColors[i][q], 8, 16)));
            }
        }
        QVERIFY(!reader.canRead());
    }

    void gifDelaysAreWrittenExactlyAsGiven()
    {
        const QImage image = quadrantFrame(QSize(16, 8), frameColors[0], false);
        const QList<int> delays{0, 1, 105, 65535};
        QList<GuideGifFrame> frames;
        for (int delay : delays)
            frames.append({image, delay});
        const std::optional<DecodedGif> decoded = decodeGif(encodeAnimatedGif(frames));
        QVERIFY(decoded);
        QCOMPARE(decoded->delays, delays);
        // The application block "NETSCAPE2.0", then its sub-block 1 with loop count 0.
        const QByteArray loopForever = "ff:" + QByteArray("NETSCAPE2.0").toHex();
        QVERIFY2(decoded->leadingExtensions.indexOf(loopForever) >= 0,
                 decoded->leadingExtensions.join(' ').constData());
        const qsizetype at = decoded->leadingExtensions.indexOf(loopForever);
        QCOMPARE(decoded->leadingExtensions.value(at + 1), QByteArray("0:010000"));
    }

    void gifRefusesFramesItCannotWrite_data()
    {
        QTest::addColumn<QList<GuideGifFrame>>("frames");
        const QImage image = quadrantFrame(QSize(20, 10), frameColors[0], false);
        QTest::newRow("no frames") << QList<GuideGifFrame>{};
        QTest::newRow("null frame") << QList<GuideGifFrame>{{image, 10}, {QImage(), 10}};
        QTest::newRow("sizes differ") << QList<GuideGifFrame>{{image, 10}, {image.scaled(21, 10), 10}};
        QTest::newRow("negative delay") << QList<GuideGifFrame>{{image, -1}};
        QTest::newRow("delay beyond 16 bits") << QList<GuideGifFrame>{{image, 65536}};
        QTest::newRow("too wide") << QList<GuideGifFrame>{{QImage(65536, 1, QImage::Format_RGB32), 10}};
    }

    void gifRefusesFramesItCannotWrite()
    {
        QFETCH(QList<GuideGifFrame>, frames);
        test::TestHome home;
        const QString path = home.path("refused.gif");
        QCOMPARE(exportErrorOf([&] { writeGifAt(frames, path); }), ExportError::Case::gifEncodingFailed);
        QVERIFY(!platform::entryExists(path));
    }

    void pngKeepsEveryPixel()
    {
        test::TestHome home;
        // Translucent pixels too: the renderer's bitmaps carry alpha.
        QImage image = quadrantFrame(QSize(300, 200), frameColors[1], true);
        image.setPixelColor(3, 4, QColor(200, 100, 50, 128));
        const QString path = home.path("still.png");
        writePngAt(image, path);
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage back = reader.read();
        QCOMPARE(back.size(), image.size());
        QCOMPARE(back.convertToFormat(QImage::Format_ARGB32), image.convertToFormat(QImage::Format_ARGB32));
    }

    void encodingFailureNamesTheFormatAndWritesNothing()
    {
        test::TestHome home;
        const QString path = home.path("empty.png");
        try {
            writePngAt(QImage(), path);
            QFAIL("a null image was written");
        } catch (const ExportError& error) {
            QCOMPARE(error.errorCase(), ExportError::Case::pngEncodingFailed);
            QCOMPARE(QString::fromUtf8(error.what()),
                     QStringLiteral("Failed to encode the rendered guide snapshot as PNG."));
        }
        QVERIFY(!platform::entryExists(path));
    }

    void existingFileIsReplacedWhole_data() { addWriterRows(); }

    void existingFileIsReplacedWhole()
    {
        QFETCH(Writer, writer);
        test::TestHome home;
        const QString folder = home.path("out");
        platform::createDirectories(folder);
        const QString path = folder + QStringLiteral("/image");
        // Much longer than the new file, so anything written in place would leave its tail behind.
        platform::writeFileAtomically(path, QByteArray(4 * 1024 * 1024, 'x'));
        const QImage image = quadrantFrame(QSize(64, 40), frameColors[2], false);
        write(writer, image, path);
        QCOMPARE(platform::readWholeFile(path), encoded(writer, image));
        QCOMPARE(entriesOf(folder), QStringList{QStringLiteral("image")});
    }

    void unwritableFolderKeepsWhatWasThere_data() { addWriterRows(); }

    void unwritableFolderKeepsWhatWasThere()
    {
        QFETCH(Writer, writer);
        test::TestHome home;
        const QString folder = home.path("out");
        platform::createDirectories(folder);
        const QString existing = folder + QStringLiteral("/existing");
        platform::writeFileAtomically(existing, "the previous image");
        test::ImmutableFlag frozen(folder);
        if (!frozen.isSet())
            QSKIP(qPrintable(frozen.skipReason()));

        const QImage image = quadrantFrame(QSize(64, 40), frameColors[0], false);
        for (const QString& name : {QStringLiteral("existing"), QStringLiteral("fresh")})
            QVERIFY_THROWS_EXCEPTION(platform::PlatformError, write(writer, image, folder + '/' + name));
        QCOMPARE(entriesOf(folder), QStringList{QStringLiteral("existing")});
        QCOMPARE(platform::readWholeFile(existing), QByteArray("the previous image"));
    }

    // Another user of a shared folder plants links named like the outputs: the link is replaced by
    // the new file, and what it pointed at (a file of the user's, a folder, a name not yet taken)
    // stays exactly as it was.
    void plantedLinkIsReplacedNotFollowed_data()
    {
        QTest::addColumn<Writer>("writer");
        QTest::addColumn<QString>("target"); // below the home, outside the folder
        for (const auto& [writer, label] : {std::pair{Writer::png, "png"}, std::pair{Writer::gif, "gif"}}) {
            QTest::addRow("%s, link to a file", label) << writer << QStringLiteral("victim/notes.txt");
            QTest::addRow("%s, link to a folder", label) << writer << QStringLiteral("victim");
            QTest::addRow("%s, dangling link", label) << writer << QStringLiteral("victim/not-yet");
        }
    }
    void plantedLinkIsReplacedNotFollowed()
    {
        QFETCH(Writer, writer);
        QFETCH(QString, target);
        test::TestHome home;
        const QString folder = home.path("shared");
        platform::createDirectories(folder);
        platform::createDirectories(home.path("victim"));
        platform::writeFileAtomically(home.path("victim/notes.txt"), "the user's own notes");
        const QStringList victimBefore = test::snapshotTree(home.path("victim"));
        const QString path = folder + QStringLiteral("/image");
        QVERIFY(QFile::link(home.path(target), path));

        const QImage image = quadrantFrame(QSize(64, 40), frameColors[1], false);
        write(writer, image, path);
        QVERIFY(QFileInfo(path).isFile() && !QFileInfo(path).isSymLink());
        QCOMPARE(platform::readWholeFile(path), encoded(writer, image));
        QCOMPARE(entriesOf(folder), QStringList{QStringLiteral("image")});
        QCOMPARE(test::snapshotTree(home.path("victim")), victimBefore);
    }

    // A folder that is itself a link is refused before anything is written through it.
    void folderThatIsALinkIsRefused()
    {
        test::TestHome home;
        platform::createDirectories(home.path("elsewhere"));
        QVERIFY(QFile::link(home.path("elsewhere"), home.path("out")));
        try {
            writePngAt(quadrantFrame(QSize(8, 8), frameColors[0], false), home.path("out/image.png"));
            QFAIL("wrote through a linked folder");
        } catch (const platform::PlatformError& error) {
            QCOMPARE(error.errorNumber(), ELOOP);
        }
        QCOMPARE(entriesOf(home.path("elsewhere")), QStringList{});
    }

    void fullFileSystemKeepsWhatWasThere_data() { addWriterRows(); }

    void fullFileSystemKeepsWhatWasThere()
    {
        QFETCH(Writer, writer);
        test::TestHome home;
        test::TmpfsMount small(home.path("small"), 256 * 1024);
        if (!small.isValid())
            QSKIP(qPrintable(small.skipReason()));
        const QString path = small.mountPoint() + QStringLiteral("/image");
        platform::writeFileAtomically(path, "the previous image");

        // Noise does not compress: the encoded file is far larger than the file system.
        const QImage image = noise(QSize(800, 800));
        QVERIFY(encoded(writer, image).size() > 512 * 1024);
        try {
            write(writer, image, path);
            QFAIL("the file system was not full");
        } catch (const platform::PlatformError& error) {
            QCOMPARE(error.errorNumber(), ENOSPC);
        }
        QCOMPARE(entriesOf(small.mountPoint()), QStringList{QStringLiteral("image")});
        QCOMPARE(platform::readWholeFile(path), QByteArray("the previous image"));
    }
};

QTEST_GUILESS_MAIN(ImageWritersTest)
#include "tst_imagewriters.moc"
