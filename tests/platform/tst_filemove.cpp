#include "platform/EntryLocation.h"
#include "platform/ExtendedAttributes.h"
#include "platform/FileIO.h"
#include "platform/FileMove.h"
#include "platform/PlatformError.h"
#include "platform/TreeCopier.h"
#include "platform/TreeRemoval.h"
#include "support/BindMount.h"
#include "support/ChildProcess.h"
#include "support/ErrorOf.h"
#include "support/FileOpenGate.h"
#include "support/InPlaceRewrite.h"
#include "support/LoopMount.h"
#include "support/ReadOnlyRemount.h"
#include "support/SkipWithout.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "support/TmpfsMount.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QDirIterator>
#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace orvalink;
using namespace orvalink::platform;

namespace {

constexpr qint64 kMiB = 1024 * 1024;

struct stat lstatOf(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

void chownTree(const QString& root, uid_t uid, gid_t gid)
{
    ::lchown(QFile::encodeName(root).constData(), uid, gid);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        ::lchown(QFile::encodeName(it.next()).constData(), uid, gid);
}

struct Attempt {
    int errorNumber = 0;
    QString message;
    MoveResult result;
};

Attempt attemptMove(const QString& from, const QString& to, const MoveHooks& hooks = {})
{
    Attempt attempt;
    try {
        attempt.result = moveItem(from, to, hooks);
    } catch (const PlatformError& error) {
        attempt.errorNumber = error.errorNumber();
        attempt.message = error.message();
    }
    return attempt;
}

bool isEmptyDirectory(const QString& path)
{
    return QDir(path)
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        .isEmpty();
}

// A source tree under the test home and a tmpfs volume as a second file system.
struct CrossDevice {
    explicit CrossDevice(qint64 volumeBytes = 64 * kMiB)
        : volume(home.volumes() + QStringLiteral("/External"), volumeBytes),
          tree(home.path(QStringLiteral("source")))
    {}
    QString source(const QString& relative = QStringLiteral("Projects")) const { return tree.path(relative); }
    QString target(const QString& name = QStringLiteral("Projects")) const
    {
        return volume.mountPoint() + QLatin1Char('/') + name;
    }

    test::TestHome home;
    test::TmpfsMount volume;
    test::TestTree tree;
};

// Changes made to a source tree after its copy was taken, by name (see refreshBringsTheCopyAlong).
void changeTree(test::TestTree& tree, const QString& change)
{
    const auto path = [&tree](const char* relative) {
        return QFile::encodeName(tree.path(relative));
    };
    if (change == "rewritten in place")
        tree.file("docs/report.txt", "new report");
    else if (change == "grown")
        tree.file("docs/report.txt", "old report, and a page more");
    else if (change == "replaced through a rename") {
        tree.file("docs/.report.txt.swp", "saved report");
        ::rename(path("docs/.report.txt.swp"), path("docs/report.txt"));
    } else if (change == "a new file")
        tree.file("docs/new.txt", "new");
    else if (change == "a new folder")
        tree.file("docs/fresh/a.txt", "a");
    else if (change == "a file removed")
        ::unlink(path("docs/notes.txt"));
    else if (change == "a folder removed")
        QDir(tree.path("docs/sub")).removeRecursively();
    else if (change == "a file renamed")
        ::rename(path("docs/notes.txt"), path("docs/memo.txt"));
    else if (change == "a folder renamed")
        ::rename(path("docs/sub"), path("docs/moved"));
    else if (change == "a mode changed")
        ::chmod(path("private.txt"), 0644);
    else if (change == "a folder's mode changed")
        ::chmod(path("docs/sub"), 0700);
    else if (change == "a link pointed elsewhere") {
        ::unlink(path("docs/link"));
        tree.symlink("docs/link", "notes.txt");
    } else if (change == "a hard-linked file rewritten")
        tree.file("docs/linked-a", "SHARED");
    else if (change == "a new name for a file")
        tree.hardLink("docs/notes-2.txt", "docs/notes.txt");
    else if (change == "an attribute set")
        ::lsetxattr(path("docs/report.txt"), "user.tag", "blue", 4, 0);
    else if (change == "a file replaced by a folder") {
        ::unlink(path("docs/notes.txt"));
        tree.file("docs/notes.txt/inside.txt", "inside");
    } else if (change == "a folder replaced by a file") {
        QDir(tree.path("docs/sub")).removeRecursively();
        tree.file("docs/sub", "now a file");
    }
}

// The user attributes of the entry at `path`, as "name=value".
QStringList userAttributes(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    QByteArray names(4096, '\0');
    const ssize_t length = ::llistxattr(native.constData(), names.data(), size_t(names.size()));
    QStringList found;
    for (const QByteArray& name : names.left(std::max<ssize_t>(length, 0)).split('\0')) {
        QByteArray value(4096, '\0');
        const ssize_t size =
            ::lgetxattr(native.constData(), name.constData(), value.data(), size_t(value.size()));
        if (name.startsWith("user."))
            found.append(QString::fromUtf8(name + '=' + value.left(std::max<ssize_t>(size, 0))));
    }
    return found;
}

// The paths below `root` of `paths`, sorted.
QStringList below(const QString& root, QStringList paths)
{
    for (QString& path : paths)
        path = path.mid(root.size() + 1);
    paths.sort();
    return paths;
}

#define REQUIRE_VOLUME(devices)                                                                              \
    if (!(devices).volume.isValid())                                                                         \
    QSKIP(qPrintable((devices).volume.skipReason()))

} // namespace

class FileMoveTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sameFileSystemMoveRenames()
    {
        test::TestHome home;
        test::TestTree tree(home.path(QStringLiteral("data")));
        tree.file(QStringLiteral("Projects/a.txt"), "a");
        const ino_t inode = lstatOf(tree.path(QStringLiteral("Projects"))).st_ino;
        const MoveResult result =
            moveItem(tree.path(QStringLiteral("Projects")), tree.path(QStringLiteral("Moved")));
        QVERIFY(!result.copiedAcrossFileSystems);
        QVERIFY(result.sourceFullyRemoved());
        QVERIFY(!entryExists(tree.path(QStringLiteral("Projects"))));
        QCOMPARE(lstatOf(tree.path(QStringLiteral("Moved"))).st_ino, inode);
        QCOMPARE(tree.read(QStringLiteral("Moved/a.txt")), QByteArray("a"));
    }

    // A move told which entry to take refuses any other that took its name meanwhile, on one file
    // system (a rename) as across two (a copy); the entry it meant moves as usual.
    void movesOnlyTheEntryItWasTold_data()
    {
        QTest::addColumn<bool>("crossDevice");
        QTest::addColumn<bool>("swapped");
        QTest::newRow("rename, the same entry") << false << false;
        QTest::newRow("rename, another entry") << false << true;
        QTest::newRow("copy, the same entry") << true << false;
        QTest::newRow("copy, another entry") << true << true;
    }
    void movesOnlyTheEntryItWasTold()
    {
        QFETCH(bool, crossDevice);
        QFETCH(bool, swapped);
        CrossDevice devices;
        REQUIRE_VOLUME(devices);
        devices.tree.file(QStringLiteral("Projects/mine.txt"), "mine");
        devices.tree.file(QStringLiteral("Other/theirs.txt"), "theirs");
        const QString source = devices.source();
        const EntryIdentity meant = EntryIdentity::of(lstatOf(source));
        if (swapped) {
            renameNoReplace(source, devices.source(QStringLiteral("Projects.aside")));
            renameNoReplace(devices.source(QStringLiteral("Other")), source);
        }
        const QStringList before = test::snapshotTree(source);
        const QString destination = crossDevice ? devices.target() : devices.source(QStringLiteral("Moved"));
        MoveHooks hooks;
        hooks.sourceIdentity = meant;

        const int error = test::errorOf(
            [&] { moveItem(EntryLocation::open(source), EntryLocation::open(destination), hooks); });

        if (!swapped) {
            QCOMPARE(error, 0);
            QCOMPARE(test::snapshotTree(destination), before);
            QVERIFY(!entryExists(source));
            return;
        }
        QCOMPARE(error, EBUSY);
        QCOMPARE(test::snapshotTree(source), before);
        QVERIFY(!entryExists(destination));
    }

    void occupiedDestinationIsRefused_data()
    {
        QTest::addColumn<QString>("occupant");
        QTest::addColumn<bool>("acrossDevices");
        for (const bool across : {false, true}) {
            const char* where = across ? "other disk" : "same disk";
            for (const char* occupant : {"file", "empty directory", "dangling link"})
                QTest::addRow("%s, %s", occupant, where) << QString::fromLatin1(occupant) << across;
        }
    }
    void occupiedDestinationIsRefused()
    {
        QFETCH(QString, occupant);
        QFETCH(bool, acrossDevices);
        CrossDevice devices;
        if (acrossDevices)
            REQUIRE_VOLUME(devices);
        devices.tree.file(QStringLiteral("Projects/a.txt"), "a");
        devices.tree.symlink(QStringLiteral("Projects/link"), QStringLiteral("a.txt"));
        test::TestTree destination(acrossDevices ? devices.volume.mountPoint()
                                                 : devices.home.path(QStringLiteral("dst")));
        const QString taken = destination.path(QStringLiteral("Projects"));
        if (occupant == QLatin1String("file"))
            destination.file(QStringLiteral("Projects"), "theirs");
        else if (occupant == QLatin1String("empty directory"))
            destination.dir(QStringLiteral("Projects"));
        else
            destination.symlink(QStringLiteral("Projects"), QStringLiteral("nowhere"));
        const QStringList sourceBefore = test::snapshotTree(devices.source());
        const QStringList occupantBefore = test::snapshotTree(taken);

        const Attempt attempt = attemptMove(devices.source(), taken);
        QCOMPARE(attempt.errorNumber, EEXIST);
        QVERIFY2(attempt.message.contains(taken), qPrintable(attempt.message));
        QCOMPARE(test::snapshotTree(devices.source()), sourceBefore);
        QCOMPARE(test::snapshotTree(taken), occupantBefore);
    }

    void crossDeviceMoveKeepsTheWholeTree()
    {
        CrossDevice devices;
        REQUIRE_VOLUME(devices);
        test::TestTree& tree = devices.tree;
        const QString outside = tree.file(QStringLiteral("elsewhere/keep.txt"), "not part of the move");
        tree.file(QStringLiteral("Projects/readme.txt"), "hello\n");
        tree.fileOfSize(QStringLiteral("Projects/big.bin"), 3 * kMiB + 17);
        const QString sparse = tree.sparseFile(QStringLiteral("Projects/disk.img"), 32 * kMiB);
        QFile patch(sparse);
        QVERIFY(patch.open(QIODevice::ReadWrite) && patch.seek(8 * kMiB) && patch.write("data") == 4);
        patch.close();
        ::chmod(QFile::encodeName(tree.file(QStringLiteral("Projects/private.txt"), "p")).constData(), 0600);
        ::chmod(QFile::encodeName(tree.file(QStringLiteral("Projects/tool"), "#!")).constData(), 04755);
        tree.file(QStringLiteral("Projects/theirs.txt"), "t");
        tree.symlink(QStringLiteral("Projects/links/relative"), QStringLiteral("../readme.txt"));
        tree.symlink(QStringLiteral("Projects/links/absolute"), QFileInfo(outside).path());
        tree.symlink(QStringLiteral("Projects/links/dangling"), QStringLiteral("nowhere/at all"));
        tree.file(QStringLiteral("Projects/a/first"), "shared");
        tree.hardLink(QStringLiteral("Projects/b/deeper/second"), QStringLiteral("Projects/a/first"));
        tree.fifo(QStringLiteral("Projects/pipe"));
        tree.file(QStringLiteral("Projects/odd names/it's -x\nnew line"), "odd");
        // A name that is not UTF-8 must travel byte for byte.
        const QByteArray latin1Name =
            QFile::encodeName(tree.path(QStringLiteral("Projects/odd names/"))) + "caf\xe9";
        QVERIFY(::mkdir(latin1Name.constData(), 0700) == 0);
        ::chmod(QFile::encodeName(tree.dir(QStringLiteral("Projects/empty"))).constData(), 0750);
        // Read-only entries keep their modes; emptying a read-only folder is a case of its own, since
        // only root may (sourceLeftoversAreReportedNotRolledBack).
        ::chmod(QFile::encodeName(tree.dir(QStringLiteral("Projects/read-only"))).constData(), 0555);
        ::chmod(QFile::encodeName(tree.file(QStringLiteral("Projects/read-only.txt"), "r")).constData(),
                0444);
        // Only root may give a file away, and keep its owner on the copy.
        if (::geteuid() == 0)
            chownTree(tree.path(QStringLiteral("Projects/theirs.txt")), test::unprivilegedUid(),
                      test::unprivilegedGid());
        test::stampDistinctTimes(devices.source());
        const QStringList before = test::snapshotTree(devices.source());
        const QStringList outsideBefore = test::snapshotTree(tree.path(QStringLiteral("elsewhere")));

        const MoveResult result = moveItem(devices.source(), devices.target());
        QVERIFY(result.copiedAcrossFileSystems);
        QVERIFY2(result.sourceFullyRemoved(), qPrintable(result.leftoverPaths.join(QLatin1Char(','))));
        QVERIFY(!result.leftoverError);
        QVERIFY(!entryExists(devices.source()));
        QCOMPARE(test::snapshotTree(devices.target()), before);
        // The link to a directory outside was neither followed by the copy nor by the removal.
        QCOMPARE(test::snapshotTree(tree.path(QStringLiteral("elsewhere"))), outsideBefore);
        const struct stat image = lstatOf(devices.target(QStringLiteral("Projects/disk.img")));
        QCOMPARE(image.st_size, 32 * kMiB);
        QVERIFY2(image.st_blocks * 512 < kMiB, "the holes were filled in");
        const QByteArray movedLatin1 =
            QFile::encodeName(devices.target(QStringLiteral("Projects/odd names/"))) + "caf\xe9";
        struct stat latin1 {};
        QVERIFY(::lstat(movedLatin1.constData(), &latin1) == 0 && S_ISDIR(latin1.st_mode));
        QCOMPARE(lstatOf(devices.target(QStringLiteral("Projects/a/first"))).st_ino,
                 lstatOf(devices.target(QStringLiteral("Projects/b/deeper/second"))).st_ino);
    }

    void refreshBringsTheCopyAlong_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("changed");
        QTest::newRow("nothing") << "" << QStringList();
        QTest::newRow("rewritten in place") << "rewritten in place" << QStringList{"docs/report.txt"};
        QTest::newRow("grown") << "grown" << QStringList{"docs/report.txt"};
        QTest::newRow("replaced through a rename")
            << "replaced through a rename" << QStringList{"docs/report.txt"};
        QTest::newRow("a new file") << "a new file" << QStringList{"docs/new.txt"};
        QTest::newRow("a new folder") << "a new folder" << QStringList{"docs/fresh", "docs/fresh/a.txt"};
        QTest::newRow("a file removed") << "a file removed" << QStringList{"docs/notes.txt"};
        QTest::newRow("a folder removed") << "a folder removed" << QStringList{"docs/sub"};
        QTest::newRow("a file renamed") << "a file renamed" << QStringList{"docs/memo.txt", "docs/notes.txt"};
        QTest::newRow("a folder renamed")
            << "a folder renamed" << QStringList{"docs/moved", "docs/moved/deep.txt", "docs/sub"};
        QTest::newRow("a mode changed") << "a mode changed" << QStringList{"private.txt"};
        // Given again on the way out, with nothing in it to copy.
        QTest::newRow("a folder's mode changed") << "a folder's mode changed" << QStringList();
        QTest::newRow("a link pointed elsewhere") << "a link pointed elsewhere" << QStringList{"docs/link"};
        QTest::newRow("a hard-linked file rewritten")
            << "a hard-linked file rewritten" << QStringList{"docs/linked-a", "docs/linked-b"};
        // The new name moves the file's change time: both names go to one new copy.
        QTest::newRow("a new name for a file")
            << "a new name for a file" << QStringList{"docs/notes-2.txt", "docs/notes.txt"};
        QTest::newRow("an attribute set") << "an attribute set" << QStringList{"docs/report.txt"};
        QTest::newRow("a file replaced by a folder")
            << "a file replaced by a folder" << QStringList{"docs/notes.txt", "docs/notes.txt/inside.txt"};
        QTest::newRow("a folder replaced by a file")
            << "a folder replaced by a file" << QStringList{"docs/sub"};
    }
    // What a program did to the source after the copy took it reaches the copy in one look, and a
    // second look finds nothing more; the removal then takes every entry of the source, as the copy
    // of each stands as the refresh made it (its renames and new names are no change to the copy).
    void refreshBringsTheCopyAlong()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, changed);
        CrossDevice devices;
        REQUIRE_VOLUME(devices);
        test::TestTree tree(devices.source());
        tree.file("docs/report.txt", "old report");
        tree.file("docs/notes.txt", "notes");
        tree.file("docs/linked-a", "shared");
        tree.hardLink("docs/linked-b", "docs/linked-a");
        tree.symlink("docs/link", "report.txt");
        tree.file("docs/sub/deep.txt", "deep");
        ::chmod(QFile::encodeName(tree.file("private.txt", "private")).constData(), 0600);
        test::stampDistinctTimes(tree.root());
        const EntryLocation from = EntryLocation::open(devices.source());
        const EntryLocation to = EntryLocation::open(devices.target());
        TreeCopier copier(from, to);
        copier.copy();

        changeTree(tree, change);
        copier.compareUnproven();
        // A look changes nothing, and finds whatever a refresh has to do.
        const QStringList beforeLook = test::snapshotTree(devices.target());
        QCOMPARE(copier.lookForChanges().isEmpty(), change.isEmpty());
        QCOMPARE(test::snapshotTree(devices.target()), beforeLook);
        const QStringList found = copier.refresh(TreeCopier::RefreshScope::mirror);

        QCOMPARE(below(tree.root(), found), changed);
        QCOMPARE(test::snapshotTree(devices.target()), test::snapshotTree(tree.root()));
        QCOMPARE(userAttributes(devices.target("Projects/docs/report.txt")),
                 userAttributes(tree.path("docs/report.txt")));
        QCOMPARE(copier.lookForChanges(), QStringList());
        QCOMPARE(copier.refresh(TreeCopier::RefreshScope::mirror), QStringList());
        QDirIterator all(tree.root(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
        while (all.hasNext()) {
            const QString path = all.next();
            const QByteArray relative = QFile::encodeName(path.mid(tree.root().size() + 1));
            QVERIFY2(copier.copiedUnchanged(lstatOf(path), relative) &&
                         copier.copyStands(lstatOf(path), relative),
                     qPrintable(path));
        }
    }

    void aCopyThatCannotBeBroughtAlongGoes_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<int>("error");
        QTest::newRow("the file grows past the volume's room") << false << int(ENOSPC);
        QTest::newRow("the volume turns read-only") << true << int(EROFS);
    }
    // A file written after the copy took it, where the copy cannot be brought along (no room left
    // for it, or the volume turned read-only): the move fails, and the source stays whole with what
    // was written. The copy goes, where the volume still lets it.
    void aCopyThatCannotBeBroughtAlongGoes()
    {
        QFETCH(bool, readOnly);
        QFETCH(int, error);
        CrossDevice devices(2 * kMiB);
        REQUIRE_VOLUME(devices);
        test::TestTree tree(devices.source());
        tree.fileOfSize("docs/log.bin", 512 * 1024);
        tree.file("docs/notes.txt", "notes");
        const QString log = tree.path("docs/log.bin");
        const QString copy = devices.target("Projects/docs/log.bin");
        bool written = false;
        std::optional<test::ReadOnlyRemount> frozen;
        // Once the copy took the file, the next read of it (its comparison) lets a program write.
        test::FileOpenGate gate(
            log,
            [&] {
                if (written || lstatOf(copy).st_size != 512 * 1024)
                    return;
                const int fd = ::open(QFile::encodeName(log).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
                const QByteArray more(int(2560 * 1024), 'x');
                written = ::write(fd, more.constData(), size_t(more.size())) == more.size();
                ::close(fd);
                if (readOnly)
                    frozen.emplace(devices.volume.mountPoint());
            },
            test::FileOpenGate::Openings::reads);
        if (const auto reason = gate.skipReason())
            QSKIP(qPrintable(*reason));
        MoveHooks hooks;
        hooks.copyChangesAgain = true;

        const Attempt attempt = [&] {
            Attempt made;
            try {
                moveItem(devices.source(), devices.target(), hooks);
            } catch (const PlatformError& failure) {
                made.errorNumber = failure.errorNumber();
            }
            return made;
        }();

        QVERIFY(written);
        QVERIFY(!readOnly || (frozen && frozen->isValid()));
        QCOMPARE(attempt.errorNumber, error);
        QCOMPARE(lstatOf(log).st_size, 3 * kMiB);
        QCOMPARE(readWholeFile(tree.path("docs/notes.txt")), QByteArray("notes"));
        if (!readOnly)
            QVERIFY(!entryExists(devices.target()));
    }

    // Once the removal of the source began, a refresh brings over what changed and takes nothing
    // from the copy: what is gone from the source went with the removal.
    void refreshAfterTheRemovalBeganOnlyAdds()
    {
        CrossDevice devices;
        REQUIRE_VOLUME(devices);
        test::TestTree tree(devices.source());
        tree.file("docs/report.txt", "old report");
        tree.file("docs/notes.txt", "notes");
        const EntryLocation from = EntryLocation::open(devices.source());
        const EntryLocation to = EntryLocation::open(devices.target());
        TreeCopier copier(from, to);
        copier.copy();
        const QStringList copied = test::snapshotTree(devices.target());

        ::unlink(QFile::encodeName(tree.path("docs/notes.txt")).constData());
        tree.file("docs/report.txt", "new report");
        copier.compareUnproven();

        QCOMPARE(below(tree.root(), copier.refresh(TreeCopier::RefreshScope::additions)),
                 QStringList{"docs/report.txt"});
        QCOMPARE(readWholeFile(devices.target("Projects/docs/report.txt")), QByteArray("new report"));
        QCOMPARE(readWholeFile(devices.target("Projects/docs/notes.txt")), QByteArray("notes"));
        // The folders keep the times they had: only what the source now holds was brought over.
        QCOMPARE(test::snapshotTree(devices.target()).mid(0, 2), copied.mid(0, 2));
    }

    void aRoundDuringTheRemovalKeepsBothVersions_data()
    {
        QTest::addColumn<QString>("taken"); // what the removal took, below the source
        QTest::addColumn<QString>("made");  // what a program made at its place then
        QTest::newRow("a file appended to anew") << "docs/log.txt"
                                                 << "file";
        QTest::newRow("a file where a folder was") << "docs/sub"
                                                   << "file";
        QTest::newRow("a folder where a file was") << "docs/log.txt"
                                                   << "folder";
        QTest::newRow("a link where a file was") << "docs/log.txt"
                                                 << "link";
    }
    // Once the removal took an entry, what a program makes at its place is not the entry the copy
    // holds a version of (`echo >>` on a file that is gone makes a new one): a round of the removal
    // leaves both, the copy's version where it is and the new one at the source.
    void aRoundDuringTheRemovalKeepsBothVersions()
    {
        QFETCH(QString, taken);
        QFETCH(QString, made);
        CrossDevice devices;
        REQUIRE_VOLUME(devices);
        test::TestTree tree(devices.source());
        tree.file("docs/log.txt", "first line\n");
        tree.file("docs/sub/inner.txt", "inner");
        tree.file("docs/other.txt", "other");
        const EntryLocation from = EntryLocation::open(devices.source());
        const EntryLocation to = EntryLocation::open(devices.target());
        TreeCopier copier(from, to);
        copier.copy();
        copier.compareUnproven();
        const QStringList copied = test::snapshotContents(devices.target());
        RemovalRules rules;
        // The folders on the way are entered (and stay, as they hold more); the entry goes as a removal
        // takes what it may.
        const QByteArray entry = QFile::encodeName(taken);
        rules.mayRemoveAt = [&](const struct stat& info, const QByteArray& relative) {
            if (relative.isEmpty() || entry.startsWith(relative + '/'))
                return true;
            return (relative == entry || relative.startsWith(entry + '/')) &&
                   copier.mayRelease(info, relative);
        };
        removeTreeAt(from.parent.get(), from.name, from.path, rules);
        QVERIFY(!entryExists(tree.path(taken)));
        if (made == "file")
            tree.file(taken, "second line\n");
        else if (made == "folder")
            tree.file(taken + "/made.txt", "made");
        else
            tree.symlink(taken, "other.txt");

        const QStringList changed = copier.refresh(TreeCopier::RefreshScope::additions);

        QCOMPARE(below(tree.root(), changed), QStringList{taken});
        QCOMPARE(test::snapshotContents(devices.target()), copied);
        QVERIFY(entryExists(tree.path(taken)));
        QVERIFY(!copier.copiedUnchanged(lstatOf(tree.path(taken)), QFile::encodeName(taken)));
    }

    // A single file is rewritten where its copy stands: whoever learnt the copy's identity when it
    // was made still finds it.
    void refreshRewritesASingleFileInPlace()
    {
        CrossDevice devices;
        REQUIRE_VOLUME(devices);
        const QString source = devices.tree.file("notes.txt", "first");
        const EntryLocation from = EntryLocation::open(source);
        const EntryLocation to = EntryLocation::open(devices.target("notes.txt"));
        TreeCopier copier(from, to);
        copier.copy();
        const ino_t copy = lstatOf(to.path).st_ino;

        devices.tree.file("notes.txt", "second, longer");
        copier.compareUnproven();

        QCOMPARE(copier.refresh(TreeCopier::RefreshScope::mirror), QStringList{source});
        QCOMPARE(lstatOf(to.path).st_ino, copy);
        QCOMPARE(test::snapshotTree(to.path), test::snapshotTree(source));
        QVERIFY(copier.copiedUnchanged(lstatOf(source), QByteArray()));
        QVERIFY(copier.copyStands(lstatOf(source), QByteArray()));
    }

    void singleEntriesCrossDevices_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("file") << "file";
        QTest::newRow("link") << "link";
        QTest::newRow("fifo") << "fifo";
    }
    void singleEntriesCrossDevices()
    {
        QFETCH(QString, kind);
        CrossDevice devices;
        REQUIRE_VOLUME(devices);
        if (kind == QLatin1String("file"))
            ::chmod(QFile::encodeName(devices.tree.file(QStringLiteral("item"), "content")).constData(),
                    0640);
        else if (kind == QLatin1String("link"))
            devices.tree.symlink(QStringLiteral("item"), QStringLiteral("../somewhere"));
        else
            devices.tree.fifo(QStringLiteral("item"));
        test::stampDistinctTimes(devices.source(QStringLiteral("item")));
        const QStringList before = test::snapshotTree(devices.source(QStringLiteral("item")));
        const MoveResult result =
            moveItem(devices.source(QStringLiteral("item")), devices.target(QStringLiteral("item")));
        QVERIFY(result.copiedAcrossFileSystems && result.sourceFullyRemoved());
        QVERIFY(!entryExists(devices.source(QStringLiteral("item"))));
        QCOMPARE(test::snapshotTree(devices.target(QStringLiteral("item"))), before);
    }

    void specialFilesAreRefused_data()
    {
        QTest::addColumn<mode_t>("type");
        QTest::newRow("socket") << mode_t(S_IFSOCK);
        QTest::newRow("character device") << mode_t(S_IFCHR);
    }
    void specialFilesAreRefused()
    {
        QFETCH(mode_t, type);
        CrossDevice devices;
        REQUIRE_VOLUME(devices);
        for (int i = 0; i < 20; ++i)
            devices.tree.file(QStringLiteral("Projects/d%1/f").arg(i), QByteArray::number(i));
        const QString special =
            devices.tree.dir(QStringLiteral("Projects/d7/inner")) + QStringLiteral("/special");
        if (::mknod(QFile::encodeName(special).constData(), type | 0600, makedev(1, 3)) != 0)
            QSKIP("this special file cannot be made here");
        const QStringList before = test::snapshotTree(devices.source());

        const Attempt attempt = attemptMove(devices.source(), devices.target());
        QCOMPARE(attempt.errorNumber, EOPNOTSUPP);
        QCOMPARE(attempt.message, errnoText(EOPNOTSUPP) + QStringLiteral(": ") + special);
        QVERIFY(!entryExists(devices.target()));
        QCOMPARE(test::snapshotTree(devices.source()), before);
    }

    void treesHoldingMountsAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("expectedError");
        QTest::newRow("another file system inside") << "tmpfs" << EXDEV;
        QTest::newRow("bind mount of the same disk inside") << "bind" << EXDEV;
        QTest::newRow("source is a mount point") << "root" << EBUSY;
    }
    void treesHoldingMountsAreRefused()
    {
        QFETCH(QString, kind);
        QFETCH(int, expectedError);
        CrossDevice devices;
        REQUIRE_VOLUME(devices);
        devices.tree.file(QStringLiteral("Projects/a.txt"), "a");
        const QString mountPoint = devices.tree.dir(
            kind == QLatin1String("root") ? QStringLiteral("Projects") : QStringLiteral("Projects/sub/mnt"));
        devices.tree.file(QStringLiteral("elsewhere/other.txt"), "other");
        std::optional<test::TmpfsMount> nested;
        std::optional<test::BindMount> bound;
        if (kind == QLatin1String("bind")) {
            bound.emplace(devices.tree.path(QStringLiteral("elsewhere")), mountPoint);
            QVERIFY(bound->isValid());
        } else {
            nested.emplace(mountPoint, kMiB);
            QVERIFY(nested->isValid());
            test::TestTree(mountPoint).file(QStringLiteral("mounted.txt"), "on the mount");
        }
        const QStringList before = test::snapshotTree(devices.source());

        const Attempt attempt = attemptMove(devices.source(), devices.target());
        QCOMPARE(attempt.errorNumber, expectedError);
        QVERIFY2(attempt.message.endsWith(mountPoint), qPrintable(attempt.message));
        QVERIFY(!entryExists(devices.target()));
        QCOMPARE(test::snapshotTree(devices.source()), before);
    }

    // The destination is announced once it exists and before anything is in it; a refusal then
    // undoes the move.
    void createdHookSeesTheEmptyDestination_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::newRow("folder") << true;
        QTest::newRow("file") << false;
    }
    void createdHookSeesTheEmptyDestination()
    {
        QFETCH(bool, folder);
        CrossDevice devices;
        REQUIRE_VOLUME(devices);
        const QString source = folder ? devices.source() : devices.source(QStringLiteral("report.pdf"));
        const QString target = folder ? devices.target() : devices.target(QStringLiteral("report.pdf"));
        if (folder)
            devices.tree.fileOfSize(QStringLiteral("Projects/sub/data.bin"), 256 * 1024);
        else
            devices.tree.fileOfSize(QStringLiteral("report.pdf"), 256 * 1024);
        const QStringList before = test::snapshotTree(source);
        QStringList seen;
        MoveHooks hooks;
        hooks.created = [&] {
            const struct stat info = lstatOf(target);
            seen.append(QString::number(info.st_mode & S_IFMT) + QLatin1Char(':') +
                        QString::number(folder ? qint64(isEmptyDirectory(target)) : qint64(info.st_size)));
            throw std::runtime_error("refused");
        };

        bool refused = false;
        try {
            moveItem(source, target, hooks);
        } catch (const std::runtime_error&) {
            refused = true;
        }

        QVERIFY(refused);
        QCOMPARE(seen, QStringList{folder ? QStringLiteral("%1:1").arg(S_IFDIR)
                                          : QStringLiteral("%1:0").arg(S_IFREG)});
        QVERIFY(!entryExists(target));
        QCOMPARE(test::snapshotTree(source), before);
    }

    // What a program holds when the source is about to be removed stays there and is reported with
    // the changed entries: a held folder with everything below it. The copy is whole all the same.
    void entriesInUseStayAtTheSource_data()
    {
        QTest::addColumn<QString>("held");
        QTest::addColumn<QStringList>("staying");
        QTest::newRow("nothing") << QString() << QStringList();
        QTest::newRow("file") << "sub/held.bin" << QStringList{"sub", "sub/held.bin"};
        QTest::newRow("folder") << "sub" << QStringList{"sub", "sub/held.bin", "sub/other.bin"};
    }
    void entriesInUseStayAtTheSource()
    {
        QFETCH(QString, held);
        QFETCH(QStringList, staying);
        CrossDevice devices;
        REQUIRE_VOLUME(devices);
        devices.tree.fileOfSize(QStringLiteral("Projects/top.bin"), 64 * 1024);
        devices.tree.fileOfSize(QStringLiteral("Projects/sub/held.bin"), 64 * 1024);
        devices.tree.fileOfSize(QStringLiteral("Projects/sub/other.bin"), 64 * 1024);
        const QString source = devices.source();
        const QStringList before = test::snapshotTree(source);
        QStringList moments;
        MoveHooks hooks;
        hooks.copied = [&] {
            moments.append(QStringLiteral("copied"));
        };
        hooks.inUse = [&] {
            moments.append(QStringLiteral("asked"));
            QSet<EntryIdentity> inUse{EntryIdentity{0, 1}}; // not in the tree: changes nothing
            if (!held.isEmpty())
                inUse.insert(EntryIdentity::of(lstatOf(source + QLatin1Char('/') + held)));
            return inUse;
        };

        const MoveResult result = moveItem(source, devices.target(), hooks);

        QCOMPARE(moments, (QStringList{"copied", "asked"}));
        QCOMPARE(test::snapshotTree(devices.target()), before);
        QCOMPARE(result.changedPaths, held.isEmpty() ? QStringList() : QStringList{source + '/' + held});
        QCOMPARE(result.leftoverPaths, result.changedPaths);
        QStringList left;
        QDirIterator it(source, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            left.append(it.next().mid(source.size() + 1));
        left.sort();
        QCOMPARE(left, staying);
        QCOMPARE(entryExists(source), !held.isEmpty());
    }

    // A copy whose path is longer than one lookup takes is still found by its name before the source
    // goes: the look by name goes one folder at a time there.
    void aCopyBeyondPathMaxStands()
    {
        CrossDevice devices;
        REQUIRE_VOLUME(devices);
        devices.tree.file(QStringLiteral("Projects/a.txt"), "alpha");
        QString folder = devices.volume.mountPoint();
        UniqueFd at(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (int i = 0; i < 20; ++i) { // 20 names of 240 bytes: more than PATH_MAX
            const QByteArray name(240, char('a' + i));
            QCOMPARE(::mkdirat(at.get(), name.constData(), 0755), 0);
            at = UniqueFd(::openat(at.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            folder += QLatin1Char('/') + QString::fromLatin1(name);
        }
        MoveHooks hooks;
        hooks.copyStaysAtDestination = true;

        const Attempt moved = attemptMove(devices.source(), folder + QStringLiteral("/Projects"), hooks);

        QVERIFY2(moved.errorNumber == 0, qPrintable(moved.message));
        QVERIFY(moved.result.lostCopies.isEmpty());
        QVERIFY(!entryExists(devices.source()));
        const UniqueFd copy(::openat(at.get(), "Projects/a.txt", O_RDONLY | O_CLOEXEC));
        char text[16] = {};
        QCOMPARE(::read(copy.get(), text, sizeof text), ssize_t(5));
        QCOMPARE(QByteArray(text), QByteArray("alpha"));
    }

    void aSourceEntryGoesOnlyWhileItsCopyStands_data()
    {
        QTest::addColumn<QString>("change");          // done to the copy right before the removal
        QTest::addColumn<bool>("staysAtDestination"); // see MoveHooks::copyStaysAtDestination
        QTest::addColumn<QStringList>("lost");        // below the source
        QTest::addColumn<QString>("volume");          // where the copy goes
        const auto row = [](const char* name, const char* change, bool stays, const QStringList& lost,
                            const char* volume = "tmpfs") {
            QTest::newRow(name) << change << stays << lost << volume;
        };
        const QStringList held{"sub/held.bin"};
        row("a file of the copy removed", "removed", true, held);
        row("a file of the copy written to", "grown", true, held);
        row("a file of the copy replaced", "replaced", true, held);
        row("a file of the copy rewritten in place", "rewritten", true, held);
        row("a file of the copy rewritten in place, its times put back", "rewritten, times put back", true,
            held);
        row("a single file's copy rewritten in place, its times put back",
            "single file rewritten, times put back", true, {""});
        row("a single file's copy left as it was", "single file", true, {});
        row("a single file's copy moved aside by the caller", "single file moved aside", false, {});
        row("a folder of the copy removed", "folder removed", true, {"sub"});
        row("the whole copy moved aside", "moved aside", true, {""});
        row("the whole copy moved aside by the caller", "moved aside", false, {});
        row("the whole copy moved aside during a later removal", "moved aside later", true, {});
        row("a file system mounted over the copy's folder", "mounted over", true, {});
        row("a file system mounted over the copy's folder during a later removal", "mounted over later", true,
            {});
        // What the copy does to its files (and reading them) shows as no change on any volume; a
        // rewrite shows where the volume keeps a time that tells (FAT through FUSE keeps none that
        // a write moves, exFAT only the modification time).
        row("ext4, the copy left as it was", "left as it was", true, {}, "ext4");
        row("ext4, a file of the copy rewritten in place, its times put back", "rewritten, times put back",
            true, held, "ext4");
        row("ext4, a single file's copy rewritten in place, its times put back",
            "single file rewritten, times put back", true, {""}, "ext4");
        row("ext4 keeping whole seconds, the copy left as it was", "left as it was", true, {},
            "ext4 seconds");
        row("exFAT, the copy left as it was", "left as it was", true, {}, "exFAT");
        row("exFAT, a file of the copy rewritten in place", "rewritten", true, held, "exFAT");
        row("exFAT, a single file's copy left as it was", "single file", true, {}, "exFAT");
        row("FAT, the copy left as it was", "left as it was", true, {}, "FAT");
        row("FAT, a single file's copy left as it was", "single file", true, {}, "FAT");
    }
    // A program tidying the volume may remove or change the copy while the source goes: an entry of
    // the source goes only while its copy stands as it was made (rewritten in place with its times
    // put back, it does not), and what stays is named. A copy that is no longer at its place when the
    // removal would begin (moved aside, or hidden by a file system mounted over its folder) takes
    // nothing of the source and is discarded, unless the caller moves the copy itself.
    void aSourceEntryGoesOnlyWhileItsCopyStands()
    {
        QFETCH(QString, change);
        QFETCH(bool, staysAtDestination);
        QFETCH(QStringList, lost);
        QFETCH(QString, volume);
        CrossDevice devices;
        REQUIRE_VOLUME(devices);
        std::unique_ptr<test::LoopMount> disk;
        if (volume != "tmpfs") {
            const auto kind = volume == "ext4"    ? test::LoopMount::Kind::ext4
                              : volume == "exFAT" ? test::LoopMount::Kind::exfatFuse
                              : volume == "FAT"   ? test::LoopMount::Kind::fatFuse
                                                  : test::LoopMount::Kind::wholeSecondsExt4;
            disk = std::make_unique<test::LoopMount>(devices.home.volumes() + "/Disk", kind);
            SKIP_WITHOUT(*disk);
        }
        const QString destination = disk ? disk->mountPoint() : devices.volume.mountPoint();
        devices.tree.file(QStringLiteral("Projects/top.txt"), "top");
        devices.tree.fileOfSize(QStringLiteral("Projects/sub/held.bin"), 64 * 1024);
        const bool single = change.startsWith("single file");
        const QString source = single ? devices.tree.fileOfSize("notes.bin", 64 * 1024) : devices.source();
        // FAT refuses any other mode than the one it gives.
        if (volume == "FAT") {
            QDirIterator all(source, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            while (all.hasNext())
                QCOMPARE(::chmod(QFile::encodeName(all.next()).constData(), 0700), 0);
            QCOMPARE(::chmod(QFile::encodeName(source).constData(), 0700), 0);
        }
        // Modification times long before the copy: where the volume keeps only them, a write shows.
        test::stampDistinctTimes(source);
        const QString copy = destination + (single ? "/notes.bin" : "/Projects");
        const QString held = single ? copy : copy + "/sub/held.bin"; // what the rewrites change
        const QString kept = single ? source : source + "/sub";      // what stays when it is lost
        const QStringList before = test::snapshotContents(source);
        const QStringList keptBefore = test::snapshotContents(kept);
        const QByteArray heldBefore = readWholeFile(single ? source : source + "/sub/held.bin");
        MoveHooks hooks;
        hooks.copyStaysAtDestination = staysAtDestination;
        // Later: a change to the source keeps part of it for a second removal, which asks what is
        // held first.
        const bool later = change.endsWith("later");
        hooks.copyChangesAgain = later;
        std::optional<test::TmpfsMount> over;
        const auto moveAside = [&] {
            QDir().rename(copy, copy + "-aside");
        };
        const auto mountOver = [&] {
            over.emplace(destination);
        };
        int asked = 0;
        hooks.inUse = [&] {
            if (later && ++asked == 2)
                change == "mounted over later" ? mountOver() : moveAside();
            return QSet<EntryIdentity>();
        };
        hooks.beforeRemoval = [&] {
            if (later) {
                devices.tree.file(QStringLiteral("Projects/top.txt"), "top, written again");
                return;
            }
            if (change == "removed")
                QFile::remove(held);
            else if (change == "grown") {
                QFile file(held);
                if (file.open(QIODevice::Append))
                    file.write("more");
            } else if (change == "replaced") {
                QFile::remove(held);
                test::TestTree(copy).fileOfSize("sub/held.bin", 64 * 1024);
            } else if (change.endsWith("rewritten") || change.endsWith("times put back"))
                QVERIFY(test::rewriteInPlace(held, change.endsWith("times put back")));
            else if (change == "folder removed")
                QDir(copy + "/sub").removeRecursively();
            else if (change == "mounted over")
                mountOver();
            else if (change.endsWith("moved aside"))
                moveAside();
        };

        const Attempt moved = attemptMove(source, copy, hooks);

        if (over && !over->isValid())
            QSKIP(qPrintable(over->skipReason()));
        QStringList lostPaths;
        for (const QString& relative : lost)
            lostPaths.append(relative.isEmpty() ? source : source + '/' + relative);
        if ((change == "moved aside" && staysAtDestination) || change == "mounted over") {
            QCOMPARE(moved.errorNumber, ENOENT);
            QCOMPARE(test::snapshotContents(source), before);
            if (over) {
                QVERIFY2(moved.message.contains("hidden by a file system mounted at " + destination),
                         qPrintable(moved.message));
                // Discarded below the mount, through what the move held.
                over.reset();
                QVERIFY(!entryExists(copy));
            }
            return;
        }
        QCOMPARE(moved.errorNumber, 0);
        QCOMPARE(moved.result.lostCopies, lostPaths);
        QVERIFY(single || !entryExists(source + "/top.txt"));
        // Whole where it was moved to, and said so when the caller did not move it itself.
        QCOMPARE(moved.result.copyMovedTo,
                 change == "moved aside later" ? std::optional<QString>(copy + "-aside") : std::nullopt);
        QCOMPARE(moved.result.copyHiddenUnder, over ? std::optional<QString>(destination) : std::nullopt);
        over.reset();
        if (lost.isEmpty()) {
            QVERIFY(!entryExists(source));
            const QString whole =
                change.endsWith("moved aside") || change == "moved aside later" ? copy + "-aside" : copy;
            // What a volume without modes cannot keep aside, as it was.
            QCOMPARE(readWholeFile(single ? whole : whole + "/sub/held.bin"), heldBefore);
            if (!single)
                QCOMPARE(readWholeFile(whole + "/top.txt"), later ? QByteArray("top, written again") : "top");
            return;
        }
        // What stays is whole, and named as changed for the caller to take up.
        QCOMPARE(test::snapshotContents(kept), keptBefore);
        QVERIFY(moved.result.changedPaths.contains(lostPaths.constFirst()));
    }

    void attributeRefusals_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("refusal");
        QTest::newRow("not supported") << QByteArray("user.tag") << int(ENOTSUP) << true;
        QTest::newRow("operation not supported")
            << QByteArray("system.posix_acl_access") << int(EOPNOTSUPP) << true;
        QTest::newRow("trusted namespace not allowed") << QByteArray("trusted.note") << int(EPERM) << true;
        QTest::newRow("security namespace not allowed")
            << QByteArray("security.selinux") << int(EACCES) << true;
        QTest::newRow("no space") << QByteArray("user.tag") << int(ENOSPC) << false;
        QTest::newRow("too big") << QByteArray("user.tag") << int(E2BIG) << false;
        QTest::newRow("out of range") << QByteArray("user.tag") << int(ERANGE) << false;
        QTest::newRow("invalid") << QByteArray("system.posix_acl_access") << int(EINVAL) << false;
        QTest::newRow("user namespace not allowed") << QByteArray("user.tag") << int(EPERM) << false;
        QTest::newRow("access control list not allowed")
            << QByteArray("system.posix_acl_default") << int(EACCES) << false;
        QTest::newRow("trusted namespace full") << QByteArray("trusted.note") << int(ENOSPC) << false;
    }
    void attributeRefusals()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, error);
        QFETCH(bool, refusal);
        QCOMPARE(isRefusedAttribute(name, error), refusal);
    }

    // A destination that runs out of room for an attribute is a failed copy, not a refusal: the move
    // fails, nothing stays at the destination and the source is whole.
    void attributeThatDoesNotFitFailsTheMove()
    {
        test::TestHome home;
        test::TestTree tree(home.path(QStringLiteral("source")));
        // A memory file system with room for three entries: a few hundred bytes of attributes left.
        test::TmpfsMount volume(home.volumes() + QStringLiteral("/Tiny"), 64 * kMiB, "nr_inodes=4");
        if (!volume.isValid())
            QSKIP(qPrintable(volume.skipReason()));
        const QString probe = volume.mountPoint() + QStringLiteral("/probe");
        QFile(probe).open(QIODevice::WriteOnly);
        if (::setxattr(QFile::encodeName(probe).constData(), "user.probe", "x", 1, 0) != 0)
            QSKIP("this kernel keeps no user attributes on tmpfs");
        QFile::remove(probe);
        const QString file = tree.file(QStringLiteral("Projects/notes.txt"), "notes");
        const QByteArray large(3000, 'a');
        QCOMPARE(::setxattr(QFile::encodeName(file).constData(), "user.large", large.constData(),
                            size_t(large.size()), 0),
                 0);
        const QStringList before = test::snapshotTree(tree.path(QStringLiteral("Projects")));

        const Attempt attempt = attemptMove(tree.path(QStringLiteral("Projects")),
                                            volume.mountPoint() + QStringLiteral("/Projects"));

        QCOMPARE(attempt.errorNumber, ENOSPC);
        QVERIFY(isEmptyDirectory(volume.mountPoint()));
        QCOMPARE(test::snapshotTree(tree.path(QStringLiteral("Projects"))), before);
    }

    void fullDestinationLeavesNoTrace()
    {
        CrossDevice devices(kMiB);
        REQUIRE_VOLUME(devices);
        for (int i = 0; i < 4; ++i)
            devices.tree.fileOfSize(QStringLiteral("Projects/part%1/data.bin").arg(i), kMiB / 2);
        devices.tree.symlink(QStringLiteral("Projects/link"), QStringLiteral("part0"));
        const QStringList before = test::snapshotTree(devices.source());

        const Attempt attempt = attemptMove(devices.source(), devices.target());
        QCOMPARE(attempt.errorNumber, ENOSPC);
        QVERIFY2(attempt.message.contains(devices.target()), qPrintable(attempt.message));
        QVERIFY(isEmptyDirectory(devices.volume.mountPoint()));
        QCOMPARE(test::snapshotTree(devices.source()), before);
    }

    void unreadableFileLeavesNoTrace()
    {
        CrossDevice devices;
        REQUIRE_VOLUME(devices);
        devices.tree.file(QStringLiteral("Projects/a.txt"), "a");
        const QString secret = devices.tree.file(QStringLiteral("Projects/inner/secret.txt"), "s");
        devices.tree.file(QStringLiteral("Projects/z/c.txt"), "c");
        ::chmod(QFile::encodeName(secret).constData(), 0000);
        const QStringList before = prepareForNobody(devices);

        const test::ChildOutcome child = test::runInChild(
            [&](QByteArray& output) {
                const Attempt attempt =
                    attemptMove(devices.source(), devices.target(QStringLiteral("inbox/Projects")));
                output = attempt.message.toUtf8();
                return attempt.errorNumber;
            },
            true);
        QCOMPARE(child.exitCode, EACCES);
        QCOMPARE(QString::fromUtf8(child.output), errnoText(EACCES) + QStringLiteral(": ") + secret);
        QVERIFY(isEmptyDirectory(devices.target(QStringLiteral("inbox"))));
        QCOMPARE(test::snapshotTree(devices.source()), before);
    }

    void sourceLeftoversAreReportedNotRolledBack()
    {
        CrossDevice devices;
        REQUIRE_VOLUME(devices);
        devices.tree.file(QStringLiteral("Projects/a.txt"), "a");
        devices.tree.file(QStringLiteral("Projects/open/b.txt"), "b");
        devices.tree.file(QStringLiteral("Projects/locked/x.txt"), "x");
        devices.tree.file(QStringLiteral("Projects/locked/y.txt"), "y");
        const QString locked = devices.source(QStringLiteral("Projects/locked"));
        ::chmod(QFile::encodeName(locked).constData(), 0555);
        const QStringList before = prepareForNobody(devices);
        const QString target = devices.target(QStringLiteral("inbox/Projects"));

        const test::ChildOutcome child = test::runInChild(
            [&](QByteArray& output) {
                const Attempt attempt = attemptMove(devices.source(), target);
                if (attempt.errorNumber != 0)
                    return attempt.errorNumber;
                const MoveResult& result = attempt.result;
                output = result.leftoverPaths.join(QLatin1Char('\n')).toUtf8();
                return result.leftoverError ? 100 + result.leftoverError->errorNumber() : 1;
            },
            true);
        QCOMPARE(child.exitCode, 100 + EACCES);
        QCOMPARE(QString::fromUtf8(child.output), locked);
        QCOMPARE(test::snapshotTree(target), before);
        QVERIFY(!entryExists(devices.source(QStringLiteral("Projects/a.txt"))));
        QVERIFY(!entryExists(devices.source(QStringLiteral("Projects/open"))));
        QCOMPARE(devices.tree.read(QStringLiteral("Projects/locked/x.txt")), QByteArray("x"));
    }

private:
    // Hands the source and an "inbox" on the volume to the unprivileged user; answers the source's
    // snapshot as that user will see it.
    static QStringList prepareForNobody(CrossDevice& devices)
    {
        ::chmod(QFile::encodeName(devices.home.root()).constData(), 0755);
        chownTree(devices.tree.root(), test::unprivilegedUid(), test::unprivilegedGid());
        const QString inbox = test::TestTree(devices.volume.mountPoint()).dir(QStringLiteral("inbox"));
        ::chown(QFile::encodeName(inbox).constData(), test::unprivilegedUid(), test::unprivilegedGid());
        return test::snapshotTree(devices.source());
    }
};

QTEST_GUILESS_MAIN(FileMoveTest)
#include "tst_filemove.moc"
