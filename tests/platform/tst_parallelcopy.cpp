#include "platform/EntryLocation.h"
#include "platform/FileIO.h"
#include "platform/FileMove.h"
#include "platform/PlatformError.h"
#include "platform/TreeCopier.h"
#include "support/ChildProcess.h"
#include "support/FileModes.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "support/TmpfsMount.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QDirIterator>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace orvalink;
using namespace orvalink::platform;

namespace {

constexpr qint64 kMiB = 1024 * 1024;

// Files are copied by several threads while one walks the tree: these trees are large enough to
// keep all of them busy at once, and hold what the walk must order around the workers (hard links
// between directories, directories whose mode forbids adding files, directory times). Source and
// destination are both small file systems of their own, so thousands of files come and go quickly.
struct Volumes {
    explicit Volumes(qint64 volumeBytes = 64 * kMiB, const QByteArray& options = {})
        : disk(home.path(QStringLiteral("source")), 64 * kMiB),
          volume(home.volumes() + QStringLiteral("/External"), volumeBytes, options),
          tree(home.path(QStringLiteral("source")))
    {
        if (volume.isValid())
            QDir().mkpath(inbox());
    }
    QString source() const { return tree.path(QStringLiteral("Projects")); }
    QString target() const { return volume.mountPoint() + QStringLiteral("/inbox/Projects"); }
    QString inbox() const { return volume.mountPoint() + QStringLiteral("/inbox"); }

    // Hands the source and the inbox to the unprivileged user the child process runs as.
    void handToNobody()
    {
        ::chmod(QFile::encodeName(home.root()).constData(), 0755);
        for (const QString& root : {tree.root(), inbox()}) {
            ::lchown(QFile::encodeName(root).constData(), test::unprivilegedUid(), test::unprivilegedGid());
            QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext())
                ::lchown(QFile::encodeName(it.next()).constData(), test::unprivilegedUid(),
                         test::unprivilegedGid());
        }
    }

    test::TestHome home;
    test::TmpfsMount disk;
    test::TmpfsMount volume;
    test::TestTree tree;
};

#define REQUIRE_VOLUME(volumes)                                                                              \
    if (!(volumes).disk.isValid() || !(volumes).volume.isValid())                                            \
    QSKIP(qPrintable((volumes).volume.skipReason() + (volumes).disk.skipReason()))

// `count` files of assorted sizes (empty ones too) spread over `directories` directories below
// Projects, every third nested in the one before. Answers their relative paths.
QStringList addManyFiles(test::TestTree& tree, int directories, int count)
{
    QStringList files;
    QString previous = QStringLiteral("Projects");
    QStringList folders;
    for (int d = 0; d < directories; ++d) {
        const QString parent = d % 3 == 2 ? previous : QStringLiteral("Projects");
        previous = parent + QStringLiteral("/d%1").arg(d);
        folders << previous;
    }
    for (int i = 0; i < count; ++i) {
        const QString path = folders[i % directories] + QStringLiteral("/f%1").arg(i);
        tree.file(path, QByteArray((i * 37) % 3000, char('a' + i % 26)));
        files << path;
    }
    return files;
}

QString folderOf(const QString& relative)
{
    return relative.section(QLatin1Char('/'), 0, -2);
}

void setMode(const QString& path, mode_t mode)
{
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

// What is not a directory below `root`, in the order a walk meets it: each directory's entries in
// the order the file system lists them, a subdirectory's contents as soon as it is met.
QStringList entriesInWalkOrder(const QString& root)
{
    std::vector<QByteArray> names;
    if (DIR* listing = ::opendir(QFile::encodeName(root).constData())) {
        while (const dirent* item = ::readdir(listing)) {
            const QByteArray name(item->d_name);
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(listing);
    }
    QStringList files;
    for (const QByteArray& name : names) {
        const QString path = root + QLatin1Char('/') + QFile::decodeName(name);
        struct stat info {};
        ::lstat(QFile::encodeName(path).constData(), &info);
        if (S_ISDIR(info.st_mode))
            files << entriesInWalkOrder(path);
        else
            files << path;
    }
    return files;
}

ino_t inodeOf(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_ino;
}

bool isEmptyDirectory(const QString& path)
{
    return QDir(path)
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        .isEmpty();
}

int errorOfMove(const QString& from, const QString& to, QByteArray& message)
{
    try {
        moveItem(from, to);
    } catch (const PlatformError& error) {
        message = error.message().toUtf8();
        return error.errorNumber();
    }
    return 0;
}

} // namespace

class ParallelCopyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void manyFilesAndHardLinksArriveExactly()
    {
        Volumes volumes;
        REQUIRE_VOLUME(volumes);
        test::TestTree& tree = volumes.tree;
        const QStringList files = addManyFiles(tree, 60, 3000);
        const mode_t fileModes[] = {0644, 0600, 0755, 0640, 04755, 0444};
        for (int i = 0; i < files.size(); ++i) {
            if (i % 13 == 0)
                ::lchown(QFile::encodeName(tree.path(files[i])).constData(), test::unprivilegedUid(),
                         test::unprivilegedGid());
            setMode(tree.path(files[i]), fileModes[i % 6]);
        }
        // Groups of three names in three directories, the first of them in the middle of the walk.
        for (int g = 0; g < 40; ++g) {
            const QString first = files[(g * 97) % files.size()];
            tree.hardLink(QStringLiteral("Projects/links/g%1/second").arg(g), first);
            tree.hardLink(folderOf(files[(g * 7) % 60]) + QStringLiteral("/third-%1").arg(g), first);
        }
        tree.symlink(QStringLiteral("Projects/d5/up"), QStringLiteral("../d4/f4"));
        tree.fifo(QStringLiteral("Projects/d9/pipe"));
        for (int d = 0; d < 60; d += 7)
            setMode(tree.path(folderOf(files[d])), 0555);
        setMode(tree.path(QStringLiteral("Projects/links")), 0500);
        test::stampDistinctTimes(volumes.source());
        const QStringList before = test::snapshotTree(volumes.source());

        const MoveResult result = moveItem(volumes.source(), volumes.target());
        QVERIFY(result.copiedAcrossFileSystems);
        // Each copy stands as the copy left it, a hard-linked one whatever its worker and the walker
        // linking its other names did first.
        QCOMPARE(result.lostCopies, QStringList());
        if (::geteuid() == 0) {
            QVERIFY2(result.sourceFullyRemoved(), qPrintable(result.leftoverPaths.join(QLatin1Char(','))));
            QVERIFY(!entryExists(volumes.source()));
        } else {
            // Only root may empty a read-only folder: a regular user's move leaves those behind, and
            // names them.
            QVERIFY(!result.leftoverPaths.isEmpty());
            for (const QString& left : result.leftoverPaths) {
                const QFileInfo folder(left);
                QVERIFY2(folder.isDir() && !(folder.permissions() & QFile::WriteOwner), qPrintable(left));
            }
        }
        const QStringList after = test::snapshotTree(volumes.target());
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after, before);
        const QString moved = volumes.target() + QStringLiteral("/..");
        QCOMPARE(inodeOf(moved + QStringLiteral("/Projects/links/g3/second")),
                 inodeOf(moved + QLatin1Char('/') + folderOf(files[21]) + QStringLiteral("/third-3")));
    }

    // As an unprivileged user, a directory that forbids adding files can only get its mode once its
    // last file is in, and the first of a hard-linked group must stay writable until it is filled,
    // whatever the umask.
    void readOnlyDirectoriesAreFilledFirst()
    {
        Volumes volumes;
        REQUIRE_VOLUME(volumes);
        test::TestTree& tree = volumes.tree;
        const QStringList files = addManyFiles(tree, 15, 600);
        for (int g = 0; g < 10; ++g)
            tree.hardLink(folderOf(files[(g * 4) % 15]) + QStringLiteral("/link-%1").arg(g), files[g * 31]);
        for (int i = 0; i < files.size(); i += 5)
            setMode(tree.path(files[i]), 0400);
        for (int d = 0; d < 15; ++d)
            setMode(tree.path(folderOf(files[d])), d % 2 ? 0555 : 0500);
        volumes.handToNobody();
        test::stampDistinctTimes(volumes.source());
        const QStringList before = test::snapshotTree(volumes.source());

        const test::ChildOutcome child = test::runInChild(
            [&](QByteArray& output) {
                const test::UmaskScope umask(0277);
                try {
                    const EntryLocation from = EntryLocation::open(volumes.source());
                    const EntryLocation to = EntryLocation::open(volumes.target());
                    TreeCopier(from, to).copy();
                } catch (const PlatformError& error) {
                    output = error.message().toUtf8();
                    return error.errorNumber();
                }
                return 0;
            },
            true);
        QVERIFY2(child.exitCode == 0, child.output.constData());
        QCOMPARE(test::snapshotTree(volumes.target()), before);
        QCOMPARE(test::snapshotTree(volumes.source()), before);
    }

    void firstFailureAlongTheWalkIsReported_data()
    {
        QTest::addColumn<QList<int>>("unreadable");
        QTest::newRow("three, one hard-linked") << QList<int>{700, 150, 1100};
        QTest::newRow("two far apart") << QList<int>{1190, 20};
        QTest::newRow("one, hard-linked") << QList<int>{600};
    }
    void firstFailureAlongTheWalkIsReported()
    {
        QFETCH(QList<int>, unreadable);
        Volumes volumes;
        REQUIRE_VOLUME(volumes);
        test::TestTree& tree = volumes.tree;
        const QStringList files = addManyFiles(tree, 30, 1200);
        QSet<ino_t> refused;
        for (int index : unreadable) {
            setMode(tree.path(files[index]), 0000);
            refused.insert(inodeOf(tree.path(files[index])));
        }
        // Whichever of its names the walk meets first is the one reported.
        tree.hardLink(folderOf(files[4]) + QStringLiteral("/linked"), files[unreadable.last()]);
        volumes.handToNobody();
        QString expected;
        for (const QString& path : entriesInWalkOrder(volumes.source())) {
            if (refused.contains(inodeOf(path))) {
                expected = path;
                break;
            }
        }
        QVERIFY(!expected.isEmpty());
        const QStringList before = test::snapshotTree(volumes.source());

        const test::ChildOutcome child = test::runInChild(
            [&](QByteArray& output) { return errorOfMove(volumes.source(), volumes.target(), output); },
            true);
        QCOMPARE(child.exitCode, EACCES);
        QCOMPARE(QString::fromUtf8(child.output), errnoText(EACCES) + QStringLiteral(": ") + expected);
        QVERIFY(isEmptyDirectory(volumes.inbox()));
        QCOMPARE(test::snapshotTree(volumes.source()), before);
    }

    // The walk meets a socket right after queueing a file a worker cannot read: the file comes first
    // along the walk, so its failure is the one reported, though the walk failed first.
    void workerFailureBeforeTheWalkersIsReported()
    {
        Volumes volumes;
        REQUIRE_VOLUME(volumes);
        addManyFiles(volumes.tree, 10, 200);
        QString secret;
        for (int attempt = 0; attempt < 16 && secret.isEmpty(); ++attempt) {
            const QString folder = volumes.tree.dir(QStringLiteral("Projects/d3/pair%1").arg(attempt));
            const QString file = folder + QStringLiteral("/secret%1").arg(attempt);
            const QString socket = folder + QStringLiteral("/socket%1").arg(attempt);
            for (int step = 0; step < 2; ++step) {
                if ((step + attempt) % 2 == 0)
                    volumes.tree.file(file.mid(volumes.tree.root().size() + 1), "s");
                else if (::mknod(QFile::encodeName(socket).constData(), S_IFSOCK | 0600, 0) != 0)
                    QSKIP("a socket cannot be made here");
            }
            if (entriesInWalkOrder(folder).first() == file)
                secret = file;
            else
                QVERIFY(QDir(folder).removeRecursively());
        }
        QVERIFY2(!secret.isEmpty(), "no listing put the file before the socket");
        setMode(secret, 0000);
        volumes.handToNobody();
        const QStringList before = test::snapshotTree(volumes.source());

        const test::ChildOutcome child = test::runInChild(
            [&](QByteArray& output) { return errorOfMove(volumes.source(), volumes.target(), output); },
            true);
        QCOMPARE(child.exitCode, EACCES);
        QCOMPARE(QString::fromUtf8(child.output), errnoText(EACCES) + QStringLiteral(": ") + secret);
        QVERIFY(isEmptyDirectory(volumes.inbox()));
        QCOMPARE(test::snapshotTree(volumes.source()), before);
    }

    void fullDestinationLeavesNoTrace_data()
    {
        QTest::addColumn<qint64>("volumeBytes");
        QTest::addColumn<QByteArray>("options");
        QTest::newRow("no space left") << 256 * 1024LL << QByteArray();
        QTest::newRow("no inode left") << 64 * kMiB << QByteArray("nr_inodes=150");
    }
    void fullDestinationLeavesNoTrace()
    {
        QFETCH(qint64, volumeBytes);
        QFETCH(QByteArray, options);
        Volumes volumes(volumeBytes, options);
        REQUIRE_VOLUME(volumes);
        const QStringList files = addManyFiles(volumes.tree, 15, 400);
        volumes.tree.hardLink(folderOf(files[1]) + QStringLiteral("/linked"), files[200]);
        QDir().mkpath(volumes.inbox());
        const QStringList before = test::snapshotTree(volumes.source());

        QByteArray message;
        QCOMPARE(errorOfMove(volumes.source(), volumes.target(), message), ENOSPC);
        QVERIFY2(message.contains(QFile::encodeName(volumes.target())), message.constData());
        QVERIFY(isEmptyDirectory(volumes.inbox()));
        QCOMPARE(test::snapshotTree(volumes.source()), before);
    }
};

QTEST_GUILESS_MAIN(ParallelCopyTest)
#include "tst_parallelcopy.moc"
