// Captcha images from a hostile account service: each one is decoded and painted three times and
// must open no file outside itself, stay fast and stay small.
#include "FileOpenProbe.h"
#include "UiTestSupport.h"
#include "support/CurrentDirectory.h"
#include "ui/widgets/CaptchaImage.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <memory>

using namespace orvalink;
using namespace orvalink::ui;

namespace {

constexpr qint64 kMaxMillisecondsPerPaint = 200;
constexpr qint64 kMaxGrowthKiB = 64 * 1024;

const QByteArray kSvgOpen = "<svg xmlns='http://www.w3.org/2000/svg' "
                            "xmlns:xlink='http://www.w3.org/1999/xlink' viewBox='0 0 100 30'>";

QByteArray pngBytes(const QImage& image)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return buffer.data();
}

QString svgUrl(const QByteArray& svg)
{
    return QStringLiteral("data:image/svg+xml;base64,") + QString::fromLatin1(svg.toBase64());
}

QString percentSvgUrl(const QByteArray& svg)
{
    return QStringLiteral("data:image/svg+xml,") + QString::fromLatin1(svg.toPercentEncoding());
}

// An icon file whose one entry declares 256 × 256 and holds `png`.
QByteArray iconWrapping(const QByteArray& png)
{
    QByteArray icon(6 + 16, '\0');
    qToLittleEndian<quint16>(1, icon.data() + 2); // an icon
    qToLittleEndian<quint16>(1, icon.data() + 4); // one entry
    qToLittleEndian<quint16>(1, icon.data() + 6 + 4);
    qToLittleEndian<quint16>(32, icon.data() + 6 + 6);
    qToLittleEndian<quint32>(quint32(png.size()), icon.data() + 6 + 8);
    qToLittleEndian<quint32>(22, icon.data() + 6 + 12);
    return icon + png;
}

// Groups that each <use> the previous one `fanOut` times, `levels` deep: fanOut^levels drawings.
QByteArray nestedUses(int levels, int fanOut)
{
    QByteArray svg = kSvgOpen + "<defs><g id='l0'><path d='M0 0L100 30' stroke='#000'/></g>";
    for (int level = 1; level <= levels; ++level) {
        svg += "<g id='l" + QByteArray::number(level) + "'>";
        for (int i = 0; i < fanOut; ++i)
            svg += "<use xlink:href='#l" + QByteArray::number(level - 1) + "'/>";
        svg += "</g>";
    }
    return svg + "</defs><use xlink:href='#l" + QByteArray::number(levels) + "'/></svg>";
}

qint64 statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Starts the peak (VmHWM) afresh at the current resident size; false where the kernel does not let us.
bool resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

} // namespace

class CaptchaAttacksTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_fifo;
    std::unique_ptr<test::CurrentDirectory> m_current;
    std::unique_ptr<test::FileOpenProbe> m_probe;

private Q_SLOTS:
    void initTestCase()
    {
        test::prepareWidgetTests();
        QVERIFY(m_dir.isValid());
        m_fifo = m_dir.filePath(QStringLiteral("fifo"));
        m_probe = std::make_unique<test::FileOpenProbe>(m_fifo);
        QVERIFY(m_probe->isValid());
        const QByteArray secretPng = pngBytes(QImage(QSize(8, 8), QImage::Format_ARGB32));
        const QString work = m_dir.filePath(QStringLiteral("work"));
        // Names that the renderer once took for files: "DATA:..." and "#/../..." relative to the
        // current folder.
        QVERIFY(QDir().mkpath(work + QStringLiteral("/DATA:image")));
        QVERIFY(QDir().mkpath(work + QStringLiteral("/#")));
        for (const QString& file :
             {m_dir.filePath(QStringLiteral("secret.png")), work + QStringLiteral("/secret.png"),
              work + QStringLiteral("/DATA:image/png;base64,iVBORw0KGgo")}) {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(secretPng);
        }
        QFile svg(work + QStringLiteral("/secret.svg"));
        QVERIFY(svg.open(QIODevice::WriteOnly));
        svg.write(kSvgOpen + "<rect width='100' height='30' fill='red'/></svg>");
        svg.close();
        m_current = std::make_unique<test::CurrentDirectory>(work);
        QCOMPARE(QDir::currentPath(), work);

        for (const QString& folder :
             {m_dir.path(), work, work + QStringLiteral("/DATA:image"), work + QStringLiteral("/#")})
            QVERIFY(m_probe->watch(folder));
    }

    void cleanupTestCase()
    {
        m_probe.reset();
        m_current.reset();
    }

    void attacksAreHarmless_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("drawn");
        const QByteArray fifoUrl = "file://" + QFile::encodeName(m_fifo);
        const QByteArray secretUrl =
            "file://" + QFile::encodeName(m_dir.filePath(QStringLiteral("secret.png")));
        const QByteArray rect = "<rect width='100' height='30' fill='#08f'/>";
        const QByteArray tinyPng = pngBytes(QImage(QSize(4, 4), QImage::Format_ARGB32)).toBase64();

        // The renderer reads a CSS file named by a stylesheet instruction, and decodes nested SVG
        // pictures without any check of ours.
        const QByteArray fifoPath = QFile::encodeName(m_fifo);
        const auto stylesheet = [&](const QByteArray& href) {
            return "<?xml version='1.0'?><?xml-stylesheet type=\"text/css\" href=\"" + href + "\"?>" +
                   kSvgOpen + rect + "</svg>";
        };
        const auto nestedImage = [&](const QByteArray& href) {
            const QByteArray inner =
                kSvgOpen + "<image xlink:href='" + href + "' width='10' height='10'/></svg>";
            return kSvgOpen + "<image width='100' height='30' xlink:href='data:image/svg+xml;base64," +
                   inner.toBase64() + "'/></svg>";
        };
        QTest::newRow("stylesheet instruction naming a fifo") << svgUrl(stylesheet(fifoPath)) << false;
        QTest::newRow("stylesheet instruction naming /dev/zero") << svgUrl(stylesheet("/dev/zero")) << false;
        QTest::newRow("stylesheet instruction naming a file, percent-encoded")
            << percentSvgUrl(stylesheet("secret.svg")) << false;
        QTest::newRow("nested svg image naming a fifo") << svgUrl(nestedImage(fifoPath)) << false;
        QTest::newRow("nested svg image naming /dev/zero") << svgUrl(nestedImage("/dev/zero")) << false;
        QTest::newRow("image of a local file")
            << svgUrl(kSvgOpen + "<image width='10' height='10' xlink:href='" + secretUrl + "'/></svg>")
            << false;
        QTest::newRow("image of a fifo") << svgUrl(kSvgOpen + "<image width='10' height='10' href='" +
                                                   QFile::encodeName(m_fifo) + "'/></svg>")
                                         << false;
        QTest::newRow("image of /dev/zero")
            << svgUrl(kSvgOpen + "<image width='10' height='10' xlink:href='/dev/zero'/></svg>") << false;
        QTest::newRow("upper-case DATA: read as a file name")
            << svgUrl(kSvgOpen +
                      "<image width='10' height='10' xlink:href='DATA:image/png;base64,iVBORw0KGgo'/></svg>")
            << false;
        QTest::newRow("fragment climbing out to an image")
            << svgUrl(kSvgOpen + "<image width='10' height='10' xlink:href='#/../secret.png'/></svg>")
            << false;
        QTest::newRow("fragment climbing out to a document")
            << svgUrl(kSvgOpen + rect + "<use xlink:href='#/../secret.svg'/></svg>") << false;
        QTest::newRow("stylesheet reference in a style")
            << svgUrl(kSvgOpen + "<rect width='10' height='10' style='fill:url(" + fifoUrl + ")'/></svg>")
            << false;
        QTest::newRow("escaped reference in a style")
            << svgUrl(kSvgOpen + "<rect width='10' height='10' style='fill:u\\72l(" + fifoUrl + ")'/></svg>")
            << false;
        QTest::newRow("outside paint server")
            << svgUrl(kSvgOpen + "<rect width='10' height='10' fill='url(" + secretUrl + "#g)'/></svg>")
            << false;
        QTest::newRow("xinclude")
            << svgUrl(kSvgOpen +
                      "<xi:include xmlns:xi='http://www.w3.org/2001/XInclude' href='secret.svg'/>" + rect +
                      "</svg>")
            << false;
        QTest::newRow("entity expansion")
            << svgUrl(
                   "<?xml version='1.0'?><!DOCTYPE svg [<!ENTITY a 'aaaaaaaaaa'>"
                   "<!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'><!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'>"
                   "<!ENTITY d '&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;'><!ENTITY e "
                   "'&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;'>]>" +
                   kSvgOpen + "<text y='20'>&e;&e;&e;&e;&e;&e;&e;&e;</text></svg>")
            << false;

        // Pictures that unpack huge: 4096 × 4096 each.
        const QByteArray hugePng = pngBytes(QImage(QSize(4096, 4096), QImage::Format_Mono)).toBase64();
        QByteArray entityImages = "<?xml version='1.0'?><!DOCTYPE svg [<!ENTITY p 'data:image/png;base64," +
                                  hugePng + "'>]>" + kSvgOpen;
        for (int i = 0; i < 200; ++i)
            entityImages += "<image width='100' height='30' xlink:href='&p;'/>";
        QTest::newRow("entity-referenced pictures") << svgUrl(entityImages + "</svg>") << false;
        QByteArray embedded = kSvgOpen;
        for (int i = 0; embedded.size() < 700 * 1024; ++i)
            embedded += "<image width='100' height='30' xlink:href='data:image/png;base64," + hugePng + "'/>";
        QTest::newRow("embedded pictures") << svgUrl(embedded + "</svg>") << false;

        const QByteArray small = nestedUses(16, 20);
        const QByteArray large = nestedUses(30, 32);
        QVERIFY(small.size() > 7000 && large.size() > 22000);
        QTest::newRow("nested uses") << svgUrl(small) << false;
        QTest::newRow("nested uses, wider") << svgUrl(large) << false;
        QTest::newRow("use in a circle")
            << svgUrl(kSvgOpen + "<g id='a'>" + rect + "<use xlink:href='#a'/></g></svg>") << false;
        QTest::newRow("fine dash on a long path")
            << svgUrl(kSvgOpen + rect +
                      "<path d='M0 0L1000000 1000000' stroke='#000' stroke-dasharray='0.0001'/></svg>")
            << true;
        QTest::newRow("a few uses stay") << svgUrl(kSvgOpen + "<defs><g id='bar'>" + rect +
                                                   "</g></defs><use xlink:href='#bar'/>"
                                                   "<use xlink:href='#bar'/></svg>")
                                         << true;

        // An icon that declares 256 × 256 and holds a picture of 60000 × 500.
        QImage wide(QSize(60000, 500), QImage::Format_RGBA8888);
        wide.fill(Qt::transparent);
        const QByteArray icon = iconWrapping(pngBytes(wide));
        wide = QImage();
        QTest::newRow("icon wrapping a wide png")
            << QStringLiteral("data:image/x-icon;base64,") + QString::fromLatin1(icon.toBase64()) << false;
        QTest::newRow("tiny png") << QStringLiteral("data:image/png;base64,") + QString::fromLatin1(tinyPng)
                                  << true;
    }

    void attacksAreHarmless()
    {
        QFETCH(QString, url);
        QFETCH(bool, drawn);
        m_probe->openedFiles();
        const bool peakReset = resetPeakMemory();
        const qint64 residentBefore = statusKiB("VmRSS:");
        qint64 slowest = 0;
        QList<bool> images;
        for (int round = 0; round < 3; ++round) {
            QElapsedTimer timer;
            timer.start();
            CaptchaImage captcha;
            captcha.setDataUrl(url);
            const QImage shot = test::renderOffscreen(&captcha);
            slowest = std::max(slowest, timer.elapsed());
            images.append(captcha.hasImage());
            QCOMPARE(shot.size(), QSize(CaptchaImage::kWidth, CaptchaImage::kHeight));
        }
        const qint64 growth = statusKiB("VmHWM:") - residentBefore;
        QCOMPARE(m_probe->openedFiles(), QStringList());
        QVERIFY2(slowest < kMaxMillisecondsPerPaint, qPrintable(QStringLiteral("%1 ms").arg(slowest)));
        if (peakReset)
            QVERIFY2(growth < kMaxGrowthKiB,
                     qPrintable(QStringLiteral("%1 KiB more at the peak").arg(growth)));
        QCOMPARE(images, QList<bool>(3, drawn));
    }
};

QTEST_MAIN(CaptchaAttacksTest)
#include "tst_captchaattacks.moc"
