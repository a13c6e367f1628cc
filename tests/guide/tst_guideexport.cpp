#include "GuideRunnerProcess.h"
#include "backend/AuthSessionStore.h"
#include "model/AppPaths.h"
#include "store/HistoryStores.h"
#include "store/JSONLStore.h"
#include "store/LogService.h"
#include "support/FileAccessWatch.h"
#include "support/TmpfsMount.h"
#include "support/TreeSnapshot.h"
#include "viewmodel/account/AccountSession.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTest>

using namespace orvalink;
using orvalink::test::GuideRunnerWorld;

namespace {

const QStringList kFiles{QStringLiteral("full-window-tour.gif"),
                         QStringLiteral("migration-selection-tour.gif"),
                         QStringLiteral("step-01-overview.png"), QStringLiteral("step-02-account.png"),
                         QStringLiteral("step-04-history.png")};

QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QHash<QString, QString> exportVariables(const QString& folder)
{
    return {{QStringLiteral("ORVALINK_GUIDE_EXPORT"), QStringLiteral("1")},
            {QStringLiteral("ORVALINK_GUIDE_EXPORT_DIR"), folder}};
}

// Share of pixels that differ between two images of one size.
double differingShare(const QImage& a, const QImage& b)
{
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    qint64 differing = 0;
    for (int y = 0; y < left.height(); ++y) {
        const auto* l = reinterpret_cast<const QRgb*>(left.constScanLine(y));
        const auto* r = reinterpret_cast<const QRgb*>(right.constScanLine(y));
        for (int x = 0; x < left.width(); ++x)
            differing += l[x] != r[x];
    }
    return double(differing) / (double(left.width()) * left.height());
}

// The steepest step between neighbouring pixels along the outer `depth` rows and columns of an
// image: the backdrop's gradient and the shadows change smoothly, a window or sheet cut by the
// picture's edge shows its border, text and controls there.
int edgeContrast(const QImage& image, int depth = 4)
{
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    const int w = gray.width();
    const int h = gray.height();
    const auto at = [&](int x, int y) {
        return int(gray.constScanLine(y)[x]);
    };
    int steepest = 0;
    for (int d = 0; d < depth; ++d) {
        for (int x = 1; x < w; ++x) {
            steepest = std::max({steepest, std::abs(at(x, d) - at(x - 1, d)),
                                 std::abs(at(x, h - 1 - d) - at(x - 1, h - 1 - d))});
        }
        for (int y = 1; y < h; ++y) {
            steepest = std::max({steepest, std::abs(at(d, y) - at(d, y - 1)),
                                 std::abs(at(w - 1 - d, y) - at(w - 1 - d, y - 1))});
        }
    }
    return steepest;
}

// Keeps a copy of the pictures under the build tree for a reviewer.
void keepForReview(const QString& folder)
{
    const QString review = QStringLiteral(ORVALINK_SCREENS_DIR) + QStringLiteral("/guide-export");
    QDir().mkpath(review);
    for (const QString& name : kFiles) {
        QFile::remove(review + QLatin1Char('/') + name);
        QFile::copy(folder + QLatin1Char('/') + name, review + QLatin1Char('/') + name);
    }
}

} // namespace

class GuideExportTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void exportWritesTheFivePictures()
    {
        GuideRunnerWorld run;
        QVERIFY(run.isReady());
        const QString folder = run.world.home.path(QStringLiteral("pictures/out"));
        const QStringList supportBefore = test::snapshotTree(run.world.home.appSupport());

        run.start(exportVariables(QStringLiteral("  ") + folder + QStringLiteral("/../out ")));
        QVERIFY(run.waitForExit());
        QVERIFY(run.exitedNormally());
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(run.stderrLines(QStringLiteral("[guide-export]")),
                 (QStringList{QStringLiteral("[guide-export] starting"),
                              QStringLiteral("[guide-export] output directory: ") + folder,
                              QStringLiteral("[guide-export] finished")}));
        // Exactly the five pictures: no temporary file is left beside them.
        QCOMPARE(folderEntries(folder), kFiles);
        keepForReview(folder);

        for (const char* name : {"step-01-overview.png", "step-02-account.png", "step-04-history.png"}) {
            QImageReader reader(folder + QLatin1Char('/') + QLatin1String(name));
            QCOMPARE(reader.format(), QByteArray("png"));
            QCOMPARE(reader.size(), QSize(1560, 980));
            // The window and the sheet lie within the picture: its edge is backdrop.
            const int contrast = edgeContrast(reader.read());
            QVERIFY2(contrast < 12,
                     qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(name)).arg(contrast)));
        }
        const QList<QPair<QString, QList<int>>> tours{
            {QStringLiteral("full-window-tour.gif"), {1050, 1050, 1350}},
            {QStringLiteral("migration-selection-tour.gif"), {1000, 1100, 1350}}};
        for (const auto& [name, delays] : tours) {
            QImageReader reader(folder + QLatin1Char('/') + name);
            QCOMPARE(reader.format(), QByteArray("gif"));
            QCOMPARE(reader.imageCount(), 3);
            QCOMPARE(reader.loopCount(), -1);
            QList<int> read;
            for (int frame = 0; frame < 3; ++frame) {
                const QImage image = reader.read();
                QCOMPARE(image.size(), QSize(1280, 804));
                read.append(reader.nextImageDelay());
                const int contrast = edgeContrast(image);
                QVERIFY2(contrast < 12,
                         qPrintable(QStringLiteral("%1 frame %2: %3").arg(name).arg(frame).arg(contrast)));
            }
            QCOMPARE(read, delays);
        }

        // The account picture dims the whole canvas under the sheet: a corner of the backdrop is
        // darker there than in the overview, and the two differ over a large part.
        const QImage overview(folder + QStringLiteral("/step-01-overview.png"));
        const QImage account(folder + QStringLiteral("/step-02-account.png"));
        QVERIFY(qGray(account.pixel(4, 4)) < qGray(overview.pixel(4, 4)));
        QVERIFY(differingShare(overview, account) > 0.3);
        // The history picture shows the migrated items (the detail column scrolled to them).
        const QImage history(folder + QStringLiteral("/step-04-history.png"));
        QVERIFY(differingShare(overview, history) > 0.05);

        // Demo data only: no request reached the service and the user's files are untouched.
        QCOMPARE(run.serviceRequests(), 0);
        QCOMPARE(test::snapshotTree(run.world.home.appSupport()), supportBefore);

        // A second run replaces the pictures and still leaves exactly five files.
        const QFileInfo first(folder + QStringLiteral("/step-01-overview.png"));
        const QDateTime firstWritten = first.fileTime(QFileDevice::FileModificationTime);
        QFile::resize(folder + QStringLiteral("/full-window-tour.gif"), 10);
        run.start(exportVariables(folder));
        QVERIFY(run.waitForExit());
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(folderEntries(folder), kFiles);
        QVERIFY(QFileInfo(folder + QStringLiteral("/step-01-overview.png"))
                    .fileTime(QFileDevice::FileModificationTime) > firstWritten);
        QCOMPARE(QImageReader(folder + QStringLiteral("/full-window-tour.gif")).imageCount(), 3);
    }

    void defaultFolderIsInTheApplicationSupportFolder()
    {
        GuideRunnerWorld run;
        QVERIFY(run.isReady());
        run.start({{QStringLiteral("ORVALINK_GUIDE_EXPORT"), QStringLiteral("1")},
                   {QStringLiteral("ORVALINK_GUIDE_EXPORT_DIR"), QStringLiteral("   ")}});
        QVERIFY(run.waitForExit());
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(folderEntries(run.world.home.appSupport() + QStringLiteral("/guide-export")), kFiles);
    }

    void failureEndsTheRunWithStatusOne_data()
    {
        QTest::addColumn<QString>("blocker");     // a regular file created at this path below the root
        QTest::addColumn<QString>("folder");      // the output folder below the root
        QTest::addColumn<QStringList>("written"); // what the folder holds afterwards
        QTest::newRow("folder cannot be created")
            << QStringLiteral("plain-file") << QStringLiteral("plain-file/out") << QStringList{};
        QTest::newRow("second picture cannot be written")
            << QString() << QStringLiteral("out")
            << QStringList{QStringLiteral("step-01-overview.png"), QStringLiteral("step-02-account.png")};
    }
    void failureEndsTheRunWithStatusOne()
    {
        QFETCH(QString, blocker);
        QFETCH(QString, folder);
        QFETCH(QStringList, written);
        GuideRunnerWorld run;
        QVERIFY(run.isReady());
        const QString out = run.world.home.path(folder);
        if (!blocker.isEmpty()) {
            QFile file(run.world.home.path(blocker));
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else {
            // A folder where the account picture goes: replacing it fails.
            QVERIFY(QDir().mkpath(out + QStringLiteral("/step-02-account.png")));
        }
        run.start(exportVariables(out));
        QVERIFY(run.waitForExit());
        QVERIFY(run.exitedNormally());
        QCOMPARE(run.exitCode(), 1);
        const QStringList markers = run.stderrLines(QStringLiteral("[guide-export]"));
        QCOMPARE(markers.size(), 3);
        QCOMPARE(markers.at(0), QStringLiteral("[guide-export] starting"));
        QVERIFY(markers.at(2).startsWith(QStringLiteral("[guide-export] failed: ")));
        QVERIFY(markers.at(2).size() > QStringLiteral("[guide-export] failed: ").size());
        QCOMPARE(folderEntries(out), written);
    }

    // A folder name that holds escape sequences reaches the terminal spelled out: the output line
    // and the failure that names the folder.
    void pathsReachTheTerminalEscaped()
    {
        GuideRunnerWorld run;
        QVERIFY(run.isReady());
        const QString name = QStringLiteral("out\x1b]0;owned\x07\x1b[2J");
        const QString out = run.world.home.path(name);
        // A file in the folder's place: the failure names it.
        QFile blocker(out);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        run.start(exportVariables(out));
        QVERIFY(run.waitForExit());
        QCOMPARE(run.exitCode(), 1);
        const QStringList markers = run.stderrLines(QStringLiteral("[guide-export]"));
        QCOMPARE(markers.size(), 3);
        const QString shown = out.chopped(name.size()) + QStringLiteral("out\\e]0;owned\\a\\e[2J");
        QCOMPARE(markers.at(1), QStringLiteral("[guide-export] output directory: ") + shown);
        QCOMPARE(markers.at(2), QStringLiteral("[guide-export] failed: Not a directory: ") + shown);
    }

    // A volume that is read-only, or fills up halfway: the run ends with status 1, and what is in
    // the folder afterwards is whole pictures only, never a truncated one or a temporary file.
    void fullOrReadOnlyVolume_data()
    {
        QTest::addColumn<qint64>("sizeBytes");
        QTest::addColumn<QByteArray>("options");
        QTest::newRow("read-only") << qint64(1024 * 1024) << QByteArray("ro");
        QTest::newRow("fills up") << qint64(100 * 1024) << QByteArray();
    }
    void fullOrReadOnlyVolume()
    {
        QFETCH(qint64, sizeBytes);
        QFETCH(QByteArray, options);
        GuideRunnerWorld run;
        QVERIFY(run.isReady());
        test::TmpfsMount volume(run.world.home.path(QStringLiteral("small")), sizeBytes, options);
        if (!volume.isValid())
            QSKIP(qPrintable(volume.skipReason()));
        const QString out =
            options.isEmpty() ? volume.mountPoint() + QStringLiteral("/out") : volume.mountPoint();
        run.start(exportVariables(out));
        QVERIFY(run.waitForExit());
        QCOMPARE(run.exitCode(), 1);
        const QStringList markers = run.stderrLines(QStringLiteral("[guide-export]"));
        QVERIFY(!markers.isEmpty());
        QVERIFY(markers.last().startsWith(QStringLiteral("[guide-export] failed: ")));
        QVERIFY(!markers.contains(QStringLiteral("[guide-export] finished")));
        const QStringList left = folderEntries(out);
        QVERIFY(left.size() < kFiles.size());
        for (const QString& name : left) {
            QVERIFY2(kFiles.contains(name), qPrintable(name));
            QImageReader reader(out + QLatin1Char('/') + name);
            QVERIFY2(!reader.read().isNull(), qPrintable(name));
        }
    }

    // Another user's links in a shared export folder, named like the pictures: each is replaced by
    // its picture, and what it pointed at (a file, a folder, a name not taken yet) stays as it was.
    void plantedLinksAreReplacedNotFollowed()
    {
        GuideRunnerWorld run;
        QVERIFY(run.isReady());
        const QString folder = run.world.home.path(QStringLiteral("shared"));
        const QString victim = run.world.home.path(QStringLiteral("victim"));
        QVERIFY(QDir().mkpath(folder) && QDir().mkpath(victim + QStringLiteral("/folder")));
        QFile notes(victim + QStringLiteral("/notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("the user's own notes") > 0);
        notes.close();
        const QStringList targets{QStringLiteral("notes.txt"), QStringLiteral("folder"),
                                  QStringLiteral("not-yet")};
        for (qsizetype i = 0; i < kFiles.size(); ++i) {
            QVERIFY(QFile::link(victim + QLatin1Char('/') + targets.at(i % targets.size()),
                                folder + QLatin1Char('/') + kFiles.at(i)));
        }
        const QStringList victimBefore = test::snapshotTree(victim);

        run.start(exportVariables(folder));
        QVERIFY(run.waitForExit());
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(folderEntries(folder), kFiles);
        for (const QString& name : kFiles) {
            const QFileInfo picture(folder + QLatin1Char('/') + name);
            QVERIFY2(picture.isFile() && !picture.isSymLink(), qPrintable(name));
            QVERIFY2(!QImageReader(picture.filePath()).read().isNull(), qPrintable(name));
        }
        QCOMPARE(test::snapshotTree(victim), victimBefore);
    }

    // The pictures show demo data alone: with a saved account, its history and a log in the
    // application-support and log folders, the export opens, reads and changes nothing there.
    void usersSessionAndHistoryAreNeverRead()
    {
        GuideRunnerWorld run;
        QVERIFY(run.isReady());
        const QString email = QStringLiteral("real.person@private.example");
        const QDateTime when = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        AuthSessionStore(AppPaths::applicationSupportFile(QStringLiteral("auth_session.json")))
            .save({email, QStringLiteral("a"), QStringLiteral("r"), when.addYears(5), when});
        const LocalHistoryScope scope = historyScopeForEmail(email);
        JSONLStore::append(LinkMapping{QUuid::createUuid(), QStringLiteral("/home/real/Secret"),
                                       QStringLiteral("/media/real/disk/Secret"), QStringLiteral("real"),
                                       QStringLiteral("REAL-UUID"), when, when},
                           MappingStore().filePath(scope));
        JSONLStore::append(MigrationTask{QUuid::createUuid(), QStringLiteral("/home/real/Secret"),
                                         QStringLiteral("/media/real/disk/Secret"), QStringLiteral("real"),
                                         QStringLiteral("REAL-UUID"), TaskStatus::completed, when, when,
                                         std::nullopt, std::nullopt},
                           TaskStore().filePath(scope));
        LogService(AppPaths::logsFile()).append(LogLevel::info, QStringLiteral("the user's own log line"));
        const QStringList folders{run.world.home.appSupport(), run.world.home.logDir()};
        QStringList before;
        for (const QString& folder : folders)
            before += test::snapshotTree(folder);
        QVERIFY(before.filter(QStringLiteral("mappings.jsonl")).size() == 1);

        test::FileAccessWatch watch(folders);
        if (!watch.isValid())
            QSKIP(qPrintable(watch.skipReason()));
        run.start(exportVariables(run.world.home.path(QStringLiteral("pictures"))));
        QVERIFY(run.waitForExit());
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(watch.events(), QStringList());
        QStringList after;
        for (const QString& folder : folders)
            after += test::snapshotTree(folder);
        QCOMPARE(after, before);
    }

    void anythingButOneLeavesTheExportOff_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("true") << QStringLiteral("true");
        QTest::newRow("leading space") << QStringLiteral(" 1");
        QTest::newRow("zero padded") << QStringLiteral("01");
        QTest::newRow("empty") << QString();
    }
    void anythingButOneLeavesTheExportOff()
    {
        QFETCH(QString, value);
        GuideRunnerWorld run;
        QVERIFY(run.isReady());
        const QString out = run.world.home.path(QStringLiteral("out"));
        run.start({{QStringLiteral("ORVALINK_GUIDE_EXPORT"), value},
                   {QStringLiteral("ORVALINK_GUIDE_EXPORT_DIR"), out}},
                  {QStringLiteral("--quit-after-start")});
        QVERIFY(run.waitForExit());
        QCOMPARE(run.exitCode(), 0);
        QVERIFY(run.stderrLines(QStringLiteral("[guide-export]")).isEmpty());
        QVERIFY(!QFileInfo::exists(out));
        QVERIFY(!QFileInfo::exists(run.world.home.appSupport() + QStringLiteral("/guide-export")));
    }
};

QTEST_GUILESS_MAIN(GuideExportTest)
#include "tst_guideexport.moc"
