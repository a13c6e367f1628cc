#include "diskops/ScanService.h"
#include "model/AppConfig.h"
#include "model/OrvalinkError.h"
#include "platform/PlatformError.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "support/Unprivileged.h"

#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

using namespace orvalink;

namespace {

qint64 occupied(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return std::max<qint64>(info.st_size, qint64(info.st_blocks) * 512);
}

void setModified(const QString& path, const QDateTime& when)
{
    const timespec times[2] = {{when.toSecsSinceEpoch(), (when.toMSecsSinceEpoch() % 1000) * 1000000},
                               {when.toSecsSinceEpoch(), (when.toMSecsSinceEpoch() % 1000) * 1000000}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW);
}

const DirectoryEntry* find(const QList<DirectoryEntry>& entries, const QString& name)
{
    for (const auto& entry : entries) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

QStringList names(const QList<DirectoryEntry>& entries)
{
    QStringList result;
    for (const auto& entry : entries)
        result.append(entry.name);
    result.sort();
    return result;
}

QString notFoundPath(const std::function<void()>& call)
{
    try {
        call();
    } catch (const OrvalinkError& error) {
        return error.code() + QLatin1Char(' ') + error.path();
    }
    return QStringLiteral("no error");
}

constexpr qint64 kTenMegabytes = 10485760;

} // namespace

class ScanServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void listingDescribesEachChild()
    {
        test::TestHome home;
        test::TestTree tree(home.path("t"));
        const QString tiny = tree.file("dir/tiny", "x");
        tree.sparseFile("dir/sparse.img", qint64(1) << 30);
        tree.fileOfSize("dir/sub/big", 100000);
        tree.file("dir/.hidden", "secret");
        tree.symlink("dir/link-to-big", tree.path("dir/sub"));
        const QDateTime when = QDateTime::fromMSecsSinceEpoch(1577934245678, Qt::UTC);
        setModified(tiny, when);
        tree.settle();

        const ScanService service;
        const auto entries = service.listDirectory(tree.path("dir/"), true);
        QCOMPARE(names(entries), QStringList({".hidden", "link-to-big", "sparse.img", "sub", "tiny"}));

        const DirectoryEntry* file = find(entries, "tiny");
        QCOMPARE(file->path, tree.path("dir/tiny"));
        QCOMPARE(file->kind, EntryKind::file);
        QCOMPARE(file->sizeBytes, occupied(tiny));
        QVERIFY(file->sizeBytes >= 1);
        QCOMPARE(file->modifiedAt, when);
        QVERIFY(!file->childrenCount && !file->isSymbolicLink && !file->isAliasFile && !file->isHidden);
        QCOMPARE(find(entries, "sparse.img")->sizeBytes, qint64(1) << 30);
        QVERIFY(find(entries, ".hidden")->isHidden);

        const DirectoryEntry* sub = find(entries, "sub");
        QCOMPARE(sub->kind, EntryKind::directory);
        QCOMPARE(sub->sizeBytes, 0); // a listing measures no directory

        const DirectoryEntry* link = find(entries, "link-to-big");
        QCOMPARE(link->kind, EntryKind::file);
        QVERIFY(link->isSymbolicLink);
        QCOMPARE(link->sizeBytes, 0);

        // Every call gives fresh ids.
        QVERIFY(service.listDirectory(tree.path("dir"), true).first().id != entries.first().id);
        QVERIFY(find(entries, "tiny")->id != find(entries, "sub")->id);
    }

    void hiddenChildrenCanBeLeftOut()
    {
        test::TestHome home;
        test::TestTree tree(home.path("t"));
        tree.file("dir/.profile");
        tree.dir("dir/.cache");
        tree.file("dir/visible");
        QCOMPARE(names(ScanService().listDirectory(tree.path("dir"), false)), QStringList({"visible"}));
        QCOMPARE(names(ScanService().scanDirectory(tree.path("dir"), 0, false)), QStringList({"visible"}));
    }

    void onlyExistingDirectoriesCanBeListed()
    {
        test::TestHome home;
        test::TestTree tree(home.path("t"));
        const QString file = tree.file("a-file");
        tree.dir("real/inside");
        const QString link = tree.symlink("link", tree.path("real"));
        const QString dangling = tree.symlink("dangling", tree.path("nowhere"));
        const ScanService service;
        QCOMPARE(notFoundPath([&] { service.listDirectory(file, true); }), "E005 " + file);
        QCOMPARE(notFoundPath([&] { service.listDirectory(tree.path("missing"), true); }),
                 "E005 " + tree.path("missing"));
        QCOMPARE(notFoundPath([&] { service.scanDirectory(dangling, 0, true); }), "E005 " + dangling);
        // A link to a directory lists that directory, under the link's path.
        const auto entries = service.listDirectory(link, true);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().path, link + "/inside");
        // A size is never taken through a link, of a file or of something missing.
        QCOMPARE(service.directorySize(link, true), 0);
        QCOMPARE(service.directorySize(file, true), 0);
        QCOMPARE(service.directorySize(tree.path("missing"), true), 0);
    }

    void scanMeasuresDirectoriesAndFiltersSmallEntries()
    {
        test::TestHome home;
        test::TestTree tree(home.path("t"));
        tree.sparseFile("dir/exactly/a", kTenMegabytes - 4096);
        tree.sparseFile("dir/exactly/deeper/b", 4096);
        tree.sparseFile("dir/one-byte-short/a", kTenMegabytes - 1);
        tree.sparseFile("dir/big-file", 3 * kTenMegabytes);
        tree.sparseFile("elsewhere/huge", 50 * kTenMegabytes);
        tree.symlink("dir/link-to-huge", tree.path("elsewhere"));
        tree.dir("dir/empty");

        const ScanService service(4);
        const auto kept = service.scanDirectory(tree.path("dir"), kTenMegabytes, true);
        QCOMPARE(names(kept), QStringList({"big-file", "exactly"}));
        QCOMPARE(find(kept, "exactly")->sizeBytes, kTenMegabytes);
        QCOMPARE(find(kept, "exactly")->kind, EntryKind::directory);

        const auto all = service.scanDirectory(tree.path("dir"), 0, true);
        QCOMPARE(all.size(), 5);
        QCOMPARE(find(all, "empty")->sizeBytes, 0);
        QCOMPARE(find(all, "one-byte-short")->sizeBytes, kTenMegabytes - 1);
        QCOMPARE(find(all, "link-to-huge")->sizeBytes, 0);
        QVERIFY(!service.scanDirectory(tree.path("dir"), 1, true).contains(*find(all, "empty")));
        QCOMPARE(service.directorySize(tree.path("dir"), true), 5 * kTenMegabytes - 1);
    }

    void unreadableSubdirectoriesMeasureZero()
    {
        if (const auto reason = test::Unprivileged::skipReason())
            QSKIP(qPrintable(*reason));
        test::TestHome home;
        test::TestTree tree(home.path("t"));
        tree.sparseFile("dir/locked/secret", 5000000);
        tree.sparseFile("dir/open/data", 7000);
        tree.sparseFile("dir/open/locked-inside/secret", 9000);
        test::Unprivileged::openUp(home.root());
        for (const char* locked : {"dir/locked", "dir/open/locked-inside"})
            ::chmod(QFile::encodeName(tree.path(locked)).constData(), 0700);

        const QString dir = tree.path("dir");
        const auto asNobody = test::Unprivileged::run([dir] {
            QByteArray out;
            for (const auto& entry : ScanService(4).scanDirectory(dir, 0, true))
                out += entry.name.toUtf8() + '=' + QByteArray::number(entry.sizeBytes) + ' ';
            try {
                ScanService().listDirectory(dir + "/locked", true);
            } catch (const platform::PlatformError& error) {
                out += "errno=" + QByteArray::number(error.errorNumber());
            }
            return out;
        });
        QVERIFY(asNobody);
        QVERIFY2(asNobody->contains("locked=0 "), asNobody->constData());
        QVERIFY2(asNobody->contains("open=7000 "), asNobody->constData());
        QVERIFY2(asNobody->endsWith("errno=" + QByteArray::number(EACCES)), asNobody->constData());
    }

    void cancelledScanThrows()
    {
        test::TestHome home;
        test::TestTree tree(home.path("t"));
        tree.file("dir/sub/file", "x");
        const auto token = platform::CancellationToken::create();
        token.cancel();
        QVERIFY_THROWS_EXCEPTION(platform::WalkCancelled,
                                 ScanService().scanDirectory(tree.path("dir"), 0, true, token));
        QVERIFY_THROWS_EXCEPTION(platform::WalkCancelled,
                                 ScanService().directorySize(tree.path("dir"), true, token));
    }

    void concurrencyComesFromTheSettingClamped_data()
    {
        QTest::addColumn<qint64>("setting");
        QTest::addColumn<int>("expected");
        QTest::newRow("default") << qint64(4) << 4;
        QTest::newRow("zero") << qint64(0) << 1;
        QTest::newRow("negative") << qint64(-3) << 1;
        QTest::newRow("too many") << qint64(1000) << 16;
    }
    void concurrencyComesFromTheSettingClamped()
    {
        QFETCH(qint64, setting);
        QFETCH(int, expected);
        AppConfig config = AppConfig::defaults("u");
        config.maxConcurrentScanTasks = setting;
        QCOMPARE(ScanService::fromConfig(config).concurrency(), expected);
        QCOMPARE(ScanService().concurrency(), 4);
        QCOMPARE(ScanService(int(std::clamp<qint64>(setting, -100, 100))).concurrency(), expected);
    }
};

QTEST_GUILESS_MAIN(ScanServiceTest)
#include "tst_scanservice.moc"
