// Captcha images from a hostile account service: each one is decoded in the decoder process
// while the window's thread keeps running, and must open no file outside itself, give up in
// bounded time and stay small, in the window's process and in the decoder's.
#include "FileOpenProbe.h"
#include "HostileImages.h"
#include "UiTestSupport.h"
#include "support/CurrentDirectory.h"
#include "ui/widgets/CaptchaImage.h"
#include "ui/widgets/ImageDecodeJob.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

using namespace orvalink;
using namespace orvalink::ui;
namespace hostile = orvalink::test::HostileImages;

namespace {

constexpr qint64 kMaxGrowthKiB = 64 * 1024;
constexpr qint64 kMaxDecoderBytes = qint64(300) << 20;
// Decoding never runs on the window's thread, so it never waits. A gap between two ticks of a
// 5 ms timer counts as blocking only when it is this long and takes up most of the decoding: a
// loaded machine stalls the loop now and then, a decoder on the thread stalls it throughout.
constexpr qint64 kMaxLoopGapMilliseconds = 1000;
// Far beyond the decoder's limits: only a hang reaches it.
constexpr int kHangGuardMilliseconds = 60000;
// The most processor time any decoding here is given, the captcha's own limit; the slow picture
// must keep a decoder busy longer than that for a limit to cut it short.
constexpr double kMostProcessorSeconds = 2;
constexpr char kTooFast[] = "this machine decodes the slow picture whole within the processor time the "
                            "limits allow, so no limit stops it";

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

// The largest peak resident size of any child process ended so far. It counts a child's size
// before it started the decoder program too, which is this test's own size: a figure to look at.
qint64 childrenPeakKiB()
{
    rusage usage{};
    return getrusage(RUSAGE_CHILDREN, &usage) == 0 ? qint64(usage.ru_maxrss) : -1;
}

// The processes this one started that have not been reaped yet.
QStringList childProcesses()
{
    QStringList children;
    const QByteArray self = QByteArray::number(getpid());
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!entry.front().isDigit() || !stat.open(QIODevice::ReadOnly))
            continue;
        // pid (name) state ppid ...: the name may hold spaces and parentheses.
        const QByteArray line = stat.readAll();
        if (line.mid(line.lastIndexOf(')') + 2).split(' ').value(1) == self)
            children.append(entry);
    }
    return children;
}

QString processName(const QString& pid)
{
    QFile comm(QStringLiteral("/proc/") + pid + QStringLiteral("/comm"));
    return comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll().trimmed()) : QString();
}

// The soft limit named `name` ("Max address space") of process `pid`; -1 for unlimited or unknown.
qint64 processLimit(const QString& pid, const QByteArray& name)
{
    QFile limits(QStringLiteral("/proc/") + pid + QStringLiteral("/limits"));
    if (!limits.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : limits.readAll().split('\n')) {
        if (line.startsWith(name)) {
            bool ok = false;
            const qint64 value = line.mid(name.size()).simplified().split(' ').value(0).toLongLong(&ok);
            return ok ? value : -1;
        }
    }
    return -1;
}

// Runs the event loop until the captcha's decoding has ended or the hang guard ran out, with a
// timer ticking every 5 ms; the longest time between two ticks.
qint64 settleWhileTicking(CaptchaImage& captcha)
{
    QEventLoop loop;
    QObject::connect(&captcha, &CaptchaImage::decodingFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(kHangGuardMilliseconds, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    tick.start(5);
    if (captcha.isDecoding())
        loop.exec();
    return std::max(longest, clock.elapsed() - last);
}

struct JobResult {
    bool ended = false;
    ImageDecodeJob::Outcome outcome = ImageDecodeJob::Outcome::Drawn;
    QImage bitmap;
};

JobResult decode(const QString& url, QSize pixels, const ImageDecodeLimits& limits = {})
{
    JobResult result;
    QObject receiver;
    ImageDecodeJob* job = ImageDecodeJob::start(url, pixels, limits);
    QObject::connect(job, &ImageDecodeJob::finished, &receiver,
                     [&](const QImage& bitmap, ImageDecodeJob::Outcome outcome) {
                         result = {true, outcome, bitmap};
                     });
    if (!QTest::qWaitFor([&] { return result.ended; }, kHangGuardMilliseconds))
        job->abandon();
    return result;
}

// The processor time of every child process ended so far, in seconds.
double childrenProcessorSeconds()
{
    rusage usage{};
    if (getrusage(RUSAGE_CHILDREN, &usage) != 0)
        return 0;
    const auto seconds = [](const timeval& time) {
        return double(time.tv_sec) + double(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
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
    // A picture whose decoding takes seconds of processor time on a machine of today.
    const QString m_slow =
        hostile::dataUrl("image/jpeg", hostile::progressiveJpegWithEmptyScans(2048, 30000));
    std::optional<bool> m_slowOutlastsTheLimits;

    // Whether the slow picture keeps a decoder on this machine busy for longer than any limit here
    // allows, so that the limits, not the picture's end, stop it: a machine fast enough decodes it
    // whole. Measured once, by a decoding allowed a second more, in the processor time the kernel
    // counted for it.
    bool slowOutlastsTheLimits()
    {
        if (!m_slowOutlastsTheLimits) {
            const double before = childrenProcessorSeconds();
            decode(m_slow, QSize(180, 56),
                   {qint64(256) << 20, int(kMostProcessorSeconds) + 1,
                    std::chrono::milliseconds(kHangGuardMilliseconds)});
            const double spent = childrenProcessorSeconds() - before;
            qInfo("the slow picture took %.1f s of processor time", spent);
            m_slowOutlastsTheLimits = spent > kMostProcessorSeconds;
        }
        return *m_slowOutlastsTheLimits;
    }

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

        // Drawing, text and raster decoding that once held the window for seconds and grew it by
        // gigabytes.
        QTest::newRow("polyline of 20000 points, round joins, huge stroke")
            << hostile::dataUrl("image/svg+xml", hostile::wideRoundPolyline(20000)) << true;
        QTest::newRow("polyline of 110000 points, round joins, huge stroke")
            << hostile::dataUrl("image/svg+xml", hostile::wideRoundPolyline(110000)) << true;
        QTest::newRow("text of 380000 combining marks")
            << hostile::dataUrl("image/svg+xml", hostile::combiningMarks(380000)) << false;
        // The picture itself is fine: it is shown without its text.
        QTest::newRow("png with a hundred text chunks of 8 MB")
            << hostile::dataUrl("image/png", hostile::pngWithTextChunks(100, 7900000)) << true;
        QTest::newRow("progressive jpeg with 30000 empty scans") << m_slow << false;

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
        QVERIFY2(url.size() <= 1024 * 1024, "fits in a captcha URL");
        // Whether the processor-time limit stops the slow picture depends on the machine.
        const bool checkDrawn = url != m_slow || slowOutlastsTheLimits();
        m_probe->openedFiles();
        const bool peakReset = resetPeakMemory();
        const qint64 residentBefore = statusKiB("VmRSS:");
        CaptchaImage captcha;
        QElapsedTimer clock;
        clock.start();
        captcha.setDataUrl(url);
        const qint64 longestGap = settleWhileTicking(captcha);
        const qint64 decodeMilliseconds = clock.elapsed();
        QVERIFY2(!captcha.isDecoding(), "the decoding ends");
        const QImage shot = test::renderOffscreen(&captcha);
        QCOMPARE(shot.size(), QSize(CaptchaImage::kWidth, CaptchaImage::kHeight));
        const qint64 growth = statusKiB("VmHWM:") - residentBefore;
        qInfo("%s: settled after %lld ms, longest event-loop gap %lld ms, window grew %lld KiB, "
              "children's peak so far %lld KiB",
              QTest::currentDataTag(), decodeMilliseconds, longestGap, growth, childrenPeakKiB());

        QCOMPARE(m_probe->openedFiles(), QStringList());
        QVERIFY2(longestGap < kMaxLoopGapMilliseconds || longestGap < decodeMilliseconds / 2,
                 qPrintable(QStringLiteral("%1 ms of %2 ms").arg(longestGap).arg(decodeMilliseconds)));
        if (peakReset)
            QVERIFY2(growth < kMaxGrowthKiB,
                     qPrintable(QStringLiteral("%1 KiB more at the peak").arg(growth)));
        if (checkDrawn)
            QCOMPARE(captcha.hasImage(), drawn);
    }

    // The kernel's limits and the wall clock stop the decoder process, whatever it is doing; a
    // picture they stop is no picture.
    void limitsStopTheDecoder_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<qint64>("addressSpaceMebibytes");
        QTest::addColumn<int>("cpuSeconds");
        QTest::addColumn<int>("wallClockMilliseconds");
        QTest::addColumn<ImageDecodeJob::Outcome>("outcome");
        const QString quick =
            hostile::dataUrl("image/svg+xml", "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 10 10'>"
                                              "<rect width='10' height='10' fill='#f00'/></svg>");
        using Outcome = ImageDecodeJob::Outcome;
        QTest::newRow("within the limits") << quick << qint64(256) << 2 << 60000 << Outcome::Drawn;
        QTest::newRow("address space too small for the decoder")
            << quick << qint64(16) << 2 << 60000 << Outcome::NoPicture;
        QTest::newRow("processor time runs out") << m_slow << qint64(256) << 1 << 60000 << Outcome::Stopped;
        QTest::newRow("wall clock runs out") << m_slow << qint64(256) << 60 << 300 << Outcome::OverTime;
    }

    void limitsStopTheDecoder()
    {
        QFETCH(QString, url);
        QFETCH(qint64, addressSpaceMebibytes);
        QFETCH(int, cpuSeconds);
        QFETCH(int, wallClockMilliseconds);
        QFETCH(ImageDecodeJob::Outcome, outcome);
        if (url == m_slow && !slowOutlastsTheLimits())
            QSKIP(kTooFast);
        const ImageDecodeLimits limits{addressSpaceMebibytes << 20, cpuSeconds,
                                       std::chrono::milliseconds(wallClockMilliseconds)};
        QElapsedTimer clock;
        clock.start();
        const JobResult result = decode(url, QSize(180, 56), limits);
        qInfo("%s: ended after %lld ms", QTest::currentDataTag(), clock.elapsed());
        QVERIFY(result.ended);
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(result.bitmap.isNull(), outcome != ImageDecodeJob::Outcome::Drawn);
    }

    // What the decoder process may take is set before it runs anything: however much a picture
    // makes it allocate, the window's memory does not grow by more than the address-space limit.
    void theDecoderRunsUnderItsLimits()
    {
        QVERIFY(childProcesses().isEmpty());
        CaptchaImage captcha;
        captcha.setDataUrl(m_slow);
        QString decoder;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QStringList children = childProcesses();
                decoder = children.value(0);
                return children.size() == 1 && processName(decoder) == QLatin1String("orvalink-image-");
            }(),
            kHangGuardMilliseconds);
        const qint64 addressSpace = processLimit(decoder, "Max address space");
        const qint64 cpuSeconds = processLimit(decoder, "Max cpu time");
        qInfo("decoder %s: address space %lld bytes, processor time %lld s", qPrintable(decoder),
              addressSpace, cpuSeconds);
        QVERIFY2(addressSpace > 0 && addressSpace < kMaxDecoderBytes,
                 qPrintable(QString::number(addressSpace)));
        QCOMPARE(cpuSeconds, 2);
        QVERIFY(test::settleCaptchas(&captcha));
        if (slowOutlastsTheLimits())
            QVERIFY(!captcha.hasImage());
    }

    // A decoding given up on ends its process at once, not when its own limits would.
    void anAbandonedDecodingLeavesNoProcess()
    {
        if (!slowOutlastsTheLimits())
            QSKIP(kTooFast);
        QVERIFY(childProcesses().isEmpty());
        ImageDecodeJob* job =
            ImageDecodeJob::start(m_slow, QSize(180, 56), {qint64(256) << 20, 600, std::chrono::minutes(10)});
        bool reported = false;
        connect(job, &ImageDecodeJob::finished, this, [&] { reported = true; });
        QTRY_COMPARE_WITH_TIMEOUT(childProcesses().size(), 1, kHangGuardMilliseconds);
        job->abandon();
        QTRY_VERIFY_WITH_TIMEOUT(childProcesses().isEmpty(), kHangGuardMilliseconds);
        QVERIFY(!reported);
    }
};

QTEST_MAIN(CaptchaAttacksTest)
#include "tst_captchaattacks.moc"
