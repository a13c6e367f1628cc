#include "platform/DuplicateRemoval.h"
#include "platform/EntryLocation.h"
#include "platform/FileDataCopier.h"
#include "platform/FileIO.h"
#include "platform/FileMove.h"
#include "platform/FoundEntries.h"
#include "platform/Placeholder.h"
#include "platform/PlatformError.h"
#include "platform/TreeRemoval.h"
#include "platform/UniqueFd.h"
#include "support/ChildProcess.h"
#include "support/ErrorOf.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "support/TmpfsMount.h"
#include "support/TreeSnapshot.h"

#include <QProcess>
#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvalink;
using namespace orvalink::platform;
using orvalink::test::errorOf;

namespace {

constexpr qint64 kMiB = 1024 * 1024;

// Opens the directory `names` below `base`, creating the missing steps when asked. Works through
// descriptors, so the whole path may be longer than PATH_MAX.
UniqueFd openChain(const QString& base, const QList<QByteArray>& names, bool create)
{
    UniqueFd current(::open(QFile::encodeName(base).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const QByteArray& name : names) {
        if (!current.isValid())
            break;
        if (create)
            ::mkdirat(current.get(), name.constData(), 0755);
        current = UniqueFd(
            ::openat(current.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return current;
}

QByteArray readAt(int directory, const char* name)
{
    UniqueFd fd(::openat(directory, name, O_RDONLY | O_CLOEXEC));
    char buffer[64] = {};
    const ssize_t got = fd.isValid() ? ::read(fd.get(), buffer, sizeof buffer) : -1;
    return got < 0 ? QByteArray("missing") : QByteArray(buffer, int(got));
}

void writeAt(int directory, const char* name, const QByteArray& content)
{
    UniqueFd fd(::openat(directory, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    QVERIFY(fd.isValid() && ::write(fd.get(), content.constData(), size_t(content.size())) == content.size());
}

// 300 levels deep, and 20 levels of 240-byte names: more than PATH_MAX.
QList<QByteArray> deepChain()
{
    return QList<QByteArray>(300, QByteArray("d"));
}
QList<QByteArray> longChain()
{
    QList<QByteArray> names;
    for (int i = 0; i < 20; ++i)
        names << QByteArray(240, char('a' + i));
    return names;
}

} // namespace

class FileTreeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void removePlaceholder_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("expectedError");
        QTest::newRow("link to a full directory") << "link" << 0;
        QTest::newRow("same link written with a trailing slash") << "link/" << 0;
        QTest::newRow("dangling link") << "dangling" << 0;
        QTest::newRow("empty directory") << "empty" << 0;
        QTest::newRow("directory holding a hidden file") << "hidden" << ENOTEMPTY;
        QTest::newRow("regular file") << "file" << ENOTDIR;
        QTest::newRow("nothing") << "nothing" << ENOENT;
    }
    void removePlaceholder()
    {
        QFETCH(QString, kind);
        QFETCH(int, expectedError);
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.file(QStringLiteral("data/kept.txt"), "kept");
        const QString path = tree.path(QStringLiteral("item"));
        if (kind.startsWith(QLatin1String("link")))
            tree.symlink(QStringLiteral("item"), tree.path(QStringLiteral("data")));
        else if (kind == QLatin1String("dangling"))
            tree.symlink(QStringLiteral("item"), QStringLiteral("nowhere"));
        else if (kind == QLatin1String("empty"))
            tree.dir(QStringLiteral("item"));
        else if (kind == QLatin1String("hidden"))
            tree.file(QStringLiteral("item/.hidden"));
        else if (kind == QLatin1String("file"))
            tree.file(QStringLiteral("item"), "data");
        const QStringList before = test::snapshotTree(home.root());

        QCOMPARE(errorOf([&] {
                     platform::removePlaceholder(kind.endsWith(QLatin1Char('/')) ? path + '/' : path);
                 }),
                 expectedError);
        if (expectedError == 0)
            QVERIFY(!entryExists(path));
        else
            QCOMPARE(test::snapshotTree(home.root()), before);
        QCOMPARE(tree.read(QStringLiteral("data/kept.txt")), QByteArray("kept"));
    }

    void foundEntriesCountWhatAPersonFinds_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<qint64>("found");
        QTest::newRow("a file") << QStringList{"Docs/a"} << qint64(1);
        QTest::newRow("a folder: its files, and its empty folder") << QStringList{"Docs"} << qint64(4);
        QTest::newRow("a folder and entries in it, once")
            << QStringList{"Docs/sub", "Docs", "Docs/a"} << qint64(4);
        QTest::newRow("an empty folder") << QStringList{"Docs/empty"} << qint64(1);
        QTest::newRow("a link, not followed") << QStringList{"Link"} << qint64(1);
        QTest::newRow("nothing there") << QStringList{"Gone", "Docs/gone"} << qint64(0);
    }
    // Where a removal stopped is named from the top (a folder may hold many files): what a person
    // finds there is counted.
    void foundEntriesCountWhatAPersonFinds()
    {
        QFETCH(QStringList, paths);
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.file(QStringLiteral("Docs/a"), "a");
        tree.file(QStringLiteral("Docs/sub/b"), "b");
        tree.file(QStringLiteral("Docs/sub/c"), "c");
        tree.dir(QStringLiteral("Docs/empty"));
        tree.symlink(QStringLiteral("Link"), tree.path(QStringLiteral("Docs")));
        for (QString& path : paths)
            path = tree.path(path);
        QTEST(countFoundEntries(paths), "found");
    }

    void createSymbolicLinkNeverReplaces()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString link = tree.path(QStringLiteral("Documents"));
        const QString text = QStringLiteral("/media/user/Ext Disk/Documents");
        createSymbolicLink(link, text);
        QCOMPARE(QFile::symLinkTarget(link), text);
        QCOMPARE(errorOf([&] { createSymbolicLink(link, QStringLiteral("other")); }), EEXIST);
        QCOMPARE(QFileInfo(link).symLinkTarget(), text);
        tree.symlink(QStringLiteral("dangling"), QStringLiteral("nowhere"));
        QCOMPARE(errorOf([&] { createSymbolicLink(tree.path(QStringLiteral("dangling")), text); }), EEXIST);
    }

    void removeTreeNeverFollowsLinks()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.file(QStringLiteral("outside/dir/a.txt"), "a");
        tree.file(QStringLiteral("outside/file.txt"), "f");
        tree.symlink(QStringLiteral("doomed/to-dir"), tree.path(QStringLiteral("outside/dir")));
        tree.symlink(QStringLiteral("doomed/sub/to-file"), QStringLiteral("../../outside/file.txt"));
        tree.fifo(QStringLiteral("doomed/pipe"));
        const QString link = tree.symlink(QStringLiteral("link-root"), tree.path(QStringLiteral("outside")));
        const QStringList outsideBefore = test::snapshotTree(tree.path(QStringLiteral("outside")));
        tree.hardLink(QStringLiteral("doomed/sub/hard"), QStringLiteral("outside/file.txt"));

        removeTree(link);
        QVERIFY(!entryExists(link));
        removeTree(tree.path(QStringLiteral("doomed")));
        QVERIFY(!entryExists(tree.path(QStringLiteral("doomed"))));
        QCOMPARE(errorOf([&] { removeTree(tree.path(QStringLiteral("doomed"))); }), 0);
        QCOMPARE(test::snapshotTree(tree.path(QStringLiteral("outside"))), outsideBefore);
    }

    // A file made in a folder after the removal listed it keeps the folder: the removal names the
    // folder among what it kept, since what is in it exists nowhere else.
    void removalKeepsWhatAppearsMeanwhile()
    {
        test::TestHome home;
        test::TestTree tree(home.path(QStringLiteral("doomed")));
        tree.file(QStringLiteral("sub/a.txt"), "a");
        tree.file(QStringLiteral("b.txt"), "b");
        RemovalRules rules;
        rules.mayRemoveAt = [&](const struct stat&, const QByteArray& relative) {
            if (relative == "sub/a.txt")
                tree.file(QStringLiteral("sub/new.txt"), "written meanwhile");
            return true;
        };
        const EntryLocation location = EntryLocation::open(tree.root());

        const RemovalOutcome outcome =
            removeTreeAt(location.parent.get(), location.name, location.path, rules);

        QCOMPARE(outcome.keptPaths, QStringList{tree.path(QStringLiteral("sub"))});
        QCOMPARE(outcome.leftoverPaths, outcome.keptPaths);
        QVERIFY(outcome.firstError && outcome.firstError->errorNumber() == ENOTEMPTY);
        QCOMPARE(readWholeFile(tree.path(QStringLiteral("sub/new.txt"))), QByteArray("written meanwhile"));
        QVERIFY(!entryExists(tree.path(QStringLiteral("sub/a.txt"))));
        QVERIFY(!entryExists(tree.path(QStringLiteral("b.txt"))));
    }

    // After a copy was cut short, the original loses only what the copy holds unchanged: what was
    // written to it since, and what the copy lacks or holds otherwise, stays and is named.
    void duplicateRemovalTakesOnlyWhatTheCopyHoldsUnchanged()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        test::TestTree original(tree.path(QStringLiteral("original")));
        original.file(QStringLiteral("same.txt"), "same");
        original.file(QStringLiteral("grown.txt"), "short");
        original.file(QStringLiteral("touched.txt"), "touched");
        original.symlink(QStringLiteral("same-link"), QStringLiteral("same.txt"));
        original.symlink(QStringLiteral("moved-link"), QStringLiteral("same.txt"));
        original.dir(QStringLiteral("empty"));
        original.file(QStringLiteral("deep/inner/same.txt"), "inner");
        original.file(QStringLiteral("behind-link/file.txt"), "behind");
        original.fifo(QStringLiteral("pipe"));
        test::stampDistinctTimes(original.root());
        QCOMPARE(QProcess::execute("cp", {"-a", "--", original.root(), tree.path(QStringLiteral("copy"))}),
                 0);
        test::TestTree copy(tree.path(QStringLiteral("copy")));
        // Written to the original after the copy.
        original.file(QStringLiteral("grown.txt"), "longer now");
        original.file(QStringLiteral("new.txt"), "new");
        const struct timespec later[2] = {{0, UTIME_OMIT}, {2000000000, 7}};
        ::utimensat(AT_FDCWD, QFile::encodeName(original.path(QStringLiteral("touched.txt"))).constData(),
                    later, 0);
        // Otherwise in the copy: a link with another text, and a folder that is a link there.
        ::unlink(QFile::encodeName(copy.path(QStringLiteral("moved-link"))).constData());
        copy.symlink(QStringLiteral("moved-link"), QStringLiteral("elsewhere.txt"));
        removeTree(copy.path(QStringLiteral("behind-link")));
        copy.symlink(QStringLiteral("behind-link"), original.path(QStringLiteral("behind-link")));
        const QStringList copyBefore = test::snapshotTree(copy.root());

        const RemovalOutcome outcome = removeDuplicateTree(original.root(), copy.root());

        QStringList kept = outcome.leftoverPaths;
        kept.sort();
        QCOMPARE(kept, (QStringList{original.path(QStringLiteral("behind-link")),
                                    original.path(QStringLiteral("grown.txt")),
                                    original.path(QStringLiteral("moved-link")),
                                    original.path(QStringLiteral("new.txt")),
                                    original.path(QStringLiteral("touched.txt"))}));
        QCOMPARE(outcome.firstError->errorNumber(), EBUSY);
        for (const char* gone : {"same.txt", "same-link", "empty", "deep", "pipe"})
            QVERIFY2(!entryExists(original.path(QString::fromLatin1(gone))), gone);
        QCOMPARE(original.read(QStringLiteral("behind-link/file.txt")), QByteArray("behind"));
        QCOMPARE(test::snapshotTree(copy.root()), copyBefore);

        // Without a copy nothing goes.
        const QStringList left = test::snapshotTree(original.root());
        removeDuplicateTree(original.root(), tree.path(QStringLiteral("no-copy")));
        QCOMPARE(test::snapshotTree(original.root()), left);
    }

    void removeTreeStopsAtAnotherFileSystem()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.file(QStringLiteral("doomed/a.txt"), "a");
        const QString mountPoint = tree.dir(QStringLiteral("doomed/sub/mnt"));
        test::TmpfsMount mount(mountPoint, kMiB);
        if (!mount.isValid())
            QSKIP(qPrintable(mount.skipReason()));
        test::TestTree(mountPoint).file(QStringLiteral("mounted.txt"), "m");

        try {
            removeTree(tree.path(QStringLiteral("doomed")));
            QFAIL("expected an error");
        } catch (const PlatformError& error) {
            QCOMPARE(error.errorNumber(), EXDEV);
            QCOMPARE(error.message(), errnoText(EXDEV) + QStringLiteral(": ") + mountPoint);
        }
        QCOMPARE(test::TestTree(mountPoint).read(QStringLiteral("mounted.txt")), QByteArray("m"));
        QVERIFY(!entryExists(tree.path(QStringLiteral("doomed/a.txt"))));
        QCOMPARE(errorOf([&] { removeTree(mountPoint); }), EBUSY);
        QVERIFY(entryExists(mountPoint + QStringLiteral("/mounted.txt")));
    }

    void deepAndLongTreesNeedFewDescriptors()
    {
        test::TestHome home;
        test::TmpfsMount volume(home.volumes() + QStringLiteral("/External"));
        const bool acrossDevices = volume.isValid();
        const QString source = test::TestTree(home.root()).dir(QStringLiteral("Projects"));
        const QString target = acrossDevices ? volume.mountPoint() + QStringLiteral("/Projects")
                                             : home.path(QStringLiteral("Moved"));
        {
            writeAt(openChain(source, deepChain(), true).get(), "bottom", "deep");
            const UniqueFd far = openChain(source, longChain(), true);
            writeAt(far.get(), "far", "long");
            const UniqueFd top = openChain(source, {}, false);
            QCOMPARE(::linkat(far.get(), "far", top.get(), "far-link", 0), 0);
        }

        // A descriptor limit far below the depth shows the walk keeps few directories open.
        const test::ChildOutcome moved = test::runInChild(
            [&](QByteArray&) {
                const struct rlimit limit = {48, 48};
                if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
                    return 99;
                return errorOf([&] { moveItem(source, target); });
            },
            false);
        QCOMPARE(moved.exitCode, 0);
        QVERIFY(!entryExists(source));
        QCOMPARE(readAt(openChain(target, deepChain(), false).get(), "bottom"), QByteArray("deep"));
        const UniqueFd far = openChain(target, longChain(), false);
        QCOMPARE(readAt(far.get(), "far"), QByteArray("long"));
        struct stat first {};
        struct stat second {};
        QCOMPARE(::fstatat(far.get(), "far", &first, 0), 0);
        QCOMPARE(::fstatat(openChain(target, {}, false).get(), "far-link", &second, 0), 0);
        QCOMPARE(first.st_ino, second.st_ino);

        const test::ChildOutcome removed = test::runInChild(
            [&](QByteArray&) {
                const struct rlimit limit = {48, 48};
                ::setrlimit(RLIMIT_NOFILE, &limit);
                return errorOf([&] { removeTree(target); });
            },
            false);
        QCOMPARE(removed.exitCode, 0);
        QVERIFY(!entryExists(target));
    }

    void dataCopierKeepsHolesOnOneDisk_data()
    {
        QTest::addColumn<QList<qint64>>("dataOffsets");
        QTest::addColumn<qint64>("size");
        QTest::newRow("holes between and after data") << QList<qint64>{0, 4 * kMiB} << 8 * kMiB;
        QTest::newRow("no hole") << QList<qint64>{0} << 64 * 1024LL;
        QTest::newRow("only a hole") << QList<qint64>{} << 2 * kMiB;
        QTest::newRow("empty") << QList<qint64>{} << qint64(0);
    }
    void dataCopierKeepsHolesOnOneDisk()
    {
        QFETCH(QList<qint64>, dataOffsets);
        QFETCH(qint64, size);
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString from = tree.sparseFile(QStringLiteral("from.img"), size);
        QFile patch(from);
        QVERIFY(patch.open(QIODevice::ReadWrite));
        for (qint64 offset : dataOffsets)
            QVERIFY(patch.seek(offset) &&
                    patch.write(QByteArray(64 * 1024, char('a' + offset % 26))) == 64 * 1024);
        patch.close();
        const QString to = tree.path(QStringLiteral("to.img"));
        {
            const UniqueFd in(::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC));
            const UniqueFd out(
                ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            struct stat info {};
            QCOMPARE(::fstat(in.get(), &info), 0);
            FileDataCopier().copy(in.get(), out.get(), size, off_t(info.st_blocks) * 512);
        }
        QCOMPARE(tree.read(QStringLiteral("to.img")), tree.read(QStringLiteral("from.img")));
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(to).constData(), &info), 0);
        QCOMPARE(qint64(info.st_size), size);
        QVERIFY2(info.st_blocks * 512 <= qint64(dataOffsets.size() + 1) * 128 * 1024,
                 "the holes were filled in");
    }
};

QTEST_GUILESS_MAIN(FileTreeTest)
#include "tst_filetree.moc"
