#include "platform/EntryLocation.h"
#include "platform/FileSweep.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "support/TmpfsMount.h"
#include "support/TreeSnapshot.h"

#include <QDirIterator>
#include <QSet>
#include <QTest>
#include <sys/stat.h>

using namespace orvalink;
using namespace orvalink::platform;

namespace {

struct Listing {
    QSet<QString> directories;
    QSet<QString> others;
};

// Everything below `root` by relative path, without following links.
Listing listTree(const QString& root)
{
    Listing listing;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat info {};
        ::lstat(QFile::encodeName(path).constData(), &info);
        (S_ISDIR(info.st_mode) ? listing.directories : listing.others).insert(path.mid(root.size() + 1));
    }
    return listing;
}

ino_t inodeOf(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_ino;
}

} // namespace

// The head start a moved source's removal gets: many threads unlink what the rule allows, and
// nothing else, before the removal that reports takes the directories and the rest.
class FileSweepTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void takesOnlyAllowedFilesAndNoDirectory()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.file(QStringLiteral("outside/dir/a.txt"), "a");
        tree.file(QStringLiteral("outside/shared.txt"), "s");
        for (int i = 0; i < 400; ++i)
            tree.file(QStringLiteral("doomed/d%1/f%2").arg(i % 20).arg(i), QByteArray::number(i));
        tree.symlink(QStringLiteral("doomed/to-dir"), tree.path(QStringLiteral("outside/dir")));
        tree.symlink(QStringLiteral("doomed/d1/to-file"), QStringLiteral("../../outside/shared.txt"));
        tree.fifo(QStringLiteral("doomed/d2/pipe"));
        tree.hardLink(QStringLiteral("doomed/d3/hard"), QStringLiteral("outside/shared.txt"));
        const QStringList outsideBefore = test::snapshotTree(tree.path(QStringLiteral("outside")));
        // What the rule refuses: a file changed since it was copied, known by where it lies, and a
        // folder with all it holds.
        tree.file(QStringLiteral("doomed/d4/changed"), "new");
        tree.file(QStringLiteral("doomed/d5/kept/inside.txt"), "k");
        tree.file(QStringLiteral("doomed/d5/kept/deeper/more.txt"), "m");
        const QSet<ino_t> refused{inodeOf(tree.path(QStringLiteral("doomed/d5/kept")))};
        // Another file system inside is not entered.
        const QString mountPoint = tree.dir(QStringLiteral("doomed/d6/mnt"));
        test::TmpfsMount mount(mountPoint, 1024 * 1024);
        if (mount.isValid())
            test::TestTree(mountPoint).file(QStringLiteral("mounted.txt"), "on the mount");
        const QString root = tree.path(QStringLiteral("doomed"));
        const Listing before = listTree(root);

        const EntryLocation location = EntryLocation::open(root);
        sweepFiles(location.parent.get(), location.name,
                   [&refused](const struct stat& info, const QByteArray& relativePath) {
                       return !refused.contains(info.st_ino) && relativePath != "d4/changed";
                   });

        const Listing after = listTree(root);
        QCOMPARE(after.directories, before.directories);
        // A file with another name waits for the removal that follows, which takes such names one
        // after another.
        QSet<QString> expected{QStringLiteral("d3/hard"), QStringLiteral("d4/changed"),
                               QStringLiteral("d5/kept/inside.txt"),
                               QStringLiteral("d5/kept/deeper/more.txt")};
        if (mount.isValid())
            expected.insert(QStringLiteral("d6/mnt/mounted.txt"));
        QCOMPARE(after.others, expected);
        QCOMPARE(test::snapshotTree(tree.path(QStringLiteral("outside"))), outsideBefore);
    }

    void leavesARootThatIsNoDirectory()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString file = tree.file(QStringLiteral("single.txt"), "one");
        const EntryLocation location = EntryLocation::open(file);
        sweepFiles(location.parent.get(), location.name, {});
        QCOMPARE(tree.read(QStringLiteral("single.txt")), QByteArray("one"));
    }
};

QTEST_GUILESS_MAIN(FileSweepTest)
#include "tst_filesweep.moc"
