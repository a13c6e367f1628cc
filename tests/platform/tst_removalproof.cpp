// What a removal after a copy may take: a file goes only when it is proven the same as its copy,
// by its times where they can prove it and the caller lets them, else by its content, read only
// then.
#include "platform/DuplicateRemoval.h"
#include "platform/EntryLocation.h"
#include "platform/FileIO.h"
#include "platform/FileMove.h"
#include "platform/ProcessTable.h"
#include "platform/TreeCopier.h"
#include "support/FileAccessWatch.h"
#include "support/FileOpenGate.h"
#include "support/LoopMount.h"
#include "support/PausedChild.h"
#include "support/SkipWithout.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "support/TmpfsMount.h"

#include <QTest>
#include <atomic>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvalink;
using namespace orvalink::platform;

namespace {

// Ahead of the clock: however slowly the machine runs, no copy begins well after such a time.
constexpr time_t kJustNow = -10;
constexpr time_t kLongAgo = 3600;

// "fine": tmpfs, its files' change times as fresh as the test made them; "agedFine": ext4 with
// times to the nanosecond, its files' change times set back long before the copy; "ext4": the same
// as the test made them.
enum class Disk { fine, agedFine, ext4, wholeSecondsExt4, vfat };

test::LoopMount::Kind loopKindOf(Disk disk)
{
    switch (disk) {
    case Disk::agedFine:
    case Disk::ext4:
        return test::LoopMount::Kind::ext4;
    case Disk::vfat:
        return test::LoopMount::Kind::vfat;
    case Disk::fine:
    case Disk::wholeSecondsExt4:
        break;
    }
    return test::LoopMount::Kind::wholeSecondsExt4;
}

// A volume of the kind a row names, mounted below the test home.
class Volume {
public:
    Volume(const test::TestHome& home, Disk disk)
    {
        const QString mountPoint = home.volumes() + QStringLiteral("/External");
        if (disk == Disk::fine)
            m_tmpfs = std::make_unique<test::TmpfsMount>(mountPoint);
        else
            m_loop = std::make_unique<test::LoopMount>(mountPoint, loopKindOf(disk));
        m_aged = disk == Disk::agedFine;
    }

    // Once the test's files are made: on an aged volume their change times go back long before any
    // copy. Answers why that cannot be done.
    std::optional<QString> age() { return m_aged ? m_loop->ageChangeTimes(kLongAgo) : std::nullopt; }

    std::optional<QString> skipReason() const
    {
        if (m_tmpfs && !m_tmpfs->isValid())
            return m_tmpfs->skipReason();
        return m_loop ? m_loop->skipReason() : std::nullopt;
    }
    QString path() const { return m_tmpfs ? m_tmpfs->mountPoint() : m_loop->mountPoint(); }

private:
    std::unique_ptr<test::TmpfsMount> m_tmpfs;
    std::unique_ptr<test::LoopMount> m_loop;
    bool m_aged = false;
};

// A modification time whole seconds can hold, `secondsAgo` before now.
timespec wholeSecondsAgo(time_t secondsAgo)
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return timespec{now.tv_sec - secondsAgo, 0};
}

void setModified(const QString& path, const timespec& modified)
{
    const struct timespec times[2] = {modified, modified};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// Rewrites the file in place with as many bytes and gives it back its time, as a write in the same
// tick of the clock (or the same second on a disk that keeps whole seconds) leaves it.
void rewriteKeepingTime(const QString& path, const QByteArray& content)
{
    struct stat before {};
    QCOMPARE(::lstat(QFile::encodeName(path).constData(), &before), 0);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QCOMPARE(file.write(content), content.size());
    file.close();
    setModified(path, before.st_mtim);
}

bool wasRead(const QStringList& events, const QString& path)
{
    return events.contains(QStringLiteral("ACCESS ") + path);
}

const QByteArray kOlder(8192, 'o');
const QByteArray kNewer(8192, 'n');

// What happens to the file beside the copy: nothing; after the copy took it, rewritten in place
// under its old time, or given its own mode again (which moves only its change time); or, before
// the copy, renamed (as a migration stages a single file).
enum class Touch { none, rewritten, modeSetAgain, renamedBeforeCopy };

} // namespace

Q_DECLARE_METATYPE(Disk)
Q_DECLARE_METATYPE(Touch)

class RemovalProofTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A move to another disk removes the source file after the copy only when it is unchanged:
    // times prove it on a disk that keeps fine times for a file whose modification and change times
    // lie well before the copy, also as the removal finds it (and then it is not even read), unless
    // the caller says they prove nothing there; otherwise its content must equal the copy's. A file
    // rewritten with as many bytes in the same tick or second, or with its old time put back, stays,
    // reported as changed; one whose change time alone moved goes once its content is found equal.
    void moveRemovesWhatIsProven_data()
    {
        QTest::addColumn<Disk>("disk");
        QTest::addColumn<time_t>("writtenSecondsAgo");
        QTest::addColumn<bool>("timesProveNothing");
        QTest::addColumn<Touch>("touch");
        QTest::addColumn<bool>("wholeItemIsTheFile");
        QTest::addColumn<bool>("proofReads");
        QTest::newRow("aged fine times, written long ago")
            << Disk::agedFine << kLongAgo << false << Touch::none << false << false;
        QTest::newRow("aged fine times, a single file written long ago")
            << Disk::agedFine << kLongAgo << false << Touch::none << true << false;
        QTest::newRow("aged fine times, rewritten under its old time")
            << Disk::agedFine << kLongAgo << false << Touch::rewritten << false << true;
        QTest::newRow("aged fine times, a single file rewritten under its old time")
            << Disk::agedFine << kLongAgo << false << Touch::rewritten << true << true;
        QTest::newRow("aged fine times, its mode set again")
            << Disk::agedFine << kLongAgo << false << Touch::modeSetAgain << false << true;
        QTest::newRow("aged fine times, a single file renamed before the copy")
            << Disk::agedFine << kLongAgo << false << Touch::renamedBeforeCopy << true << true;
        QTest::newRow("fine times, written long ago, changed just now")
            << Disk::fine << kLongAgo << false << Touch::none << false << true;
        QTest::newRow("fine times, long ago, times prove nothing")
            << Disk::fine << kLongAgo << true << Touch::none << false << true;
        QTest::newRow("fine times, long ago, times prove nothing, rewritten")
            << Disk::fine << kLongAgo << true << Touch::rewritten << false << true;
        QTest::newRow("fine times, long ago, times prove nothing, a single file rewritten")
            << Disk::fine << kLongAgo << true << Touch::rewritten << true << true;
        QTest::newRow("fine times, written just now")
            << Disk::fine << kJustNow << false << Touch::none << false << true;
        QTest::newRow("fine times, just now, rewritten")
            << Disk::fine << kJustNow << false << Touch::rewritten << false << true;
        QTest::newRow("fine times, a single file rewritten")
            << Disk::fine << kJustNow << false << Touch::rewritten << true << true;
        QTest::newRow("fine times, a single file kept")
            << Disk::fine << kJustNow << false << Touch::none << true << true;
        QTest::newRow("ext4 seconds, long ago")
            << Disk::wholeSecondsExt4 << kLongAgo << false << Touch::none << false << true;
        QTest::newRow("ext4 seconds, long ago, rewritten")
            << Disk::wholeSecondsExt4 << kLongAgo << false << Touch::rewritten << false << true;
        QTest::newRow("vfat, long ago") << Disk::vfat << kLongAgo << false << Touch::none << false << true;
        QTest::newRow("vfat, long ago, rewritten")
            << Disk::vfat << kLongAgo << false << Touch::rewritten << false << true;
    }

    void moveRemovesWhatIsProven()
    {
        QFETCH(Disk, disk);
        QFETCH(time_t, writtenSecondsAgo);
        QFETCH(bool, timesProveNothing);
        QFETCH(Touch, touch);
        QFETCH(bool, wholeItemIsTheFile);
        QFETCH(bool, proofReads);
        test::TestHome home;
        Volume volume(home, disk);
        SKIP_WITHOUT(volume);
        test::TestTree tree(volume.path());
        QString file = tree.file(QStringLiteral("Project/sub/state.db"), kOlder);
        tree.file(QStringLiteral("Project/other.txt"), "other");
        // Removing one of its names moves the change time of the others: they are still removed.
        if (disk != Disk::vfat)
            tree.hardLink(QStringLiteral("Project/sub/other-link.txt"), QStringLiteral("Project/other.txt"));
        setModified(file, wholeSecondsAgo(writtenSecondsAgo));
        if (const std::optional<QString> reason = volume.age())
            QSKIP(qPrintable(*reason));
        if (touch == Touch::renamedBeforeCopy) {
            renameNoReplace(file, file + QStringLiteral(".staged"));
            file += QStringLiteral(".staged");
        }
        const QString source = wholeItemIsTheFile ? file : tree.path(QStringLiteral("Project"));
        const QString destination = home.path(QStringLiteral("moved"));

        test::FileAccessWatch watch({volume.path()});
        QVERIFY2(watch.isValid(), qPrintable(watch.skipReason()));
        MoveHooks hooks;
        hooks.timesProveNothing = timesProveNothing;
        hooks.copied = [&] {
            watch.events(); // what the copy read
            if (touch == Touch::rewritten)
                rewriteKeepingTime(file, kNewer);
            if (touch == Touch::modeSetAgain)
                QVERIFY(QFile::setPermissions(file, QFile::permissions(file)));
        };
        const MoveResult result = moveItem(source, destination, hooks);

        const QString copied =
            wholeItemIsTheFile ? destination : destination + QStringLiteral("/sub/state.db");
        QCOMPARE(readWholeFile(copied), kOlder);
        if (touch == Touch::rewritten) {
            QCOMPARE(result.changedPaths, QStringList{file});
            QCOMPARE(readWholeFile(file), kNewer);
        } else {
            QVERIFY2(result.leftoverPaths.isEmpty(), qPrintable(result.leftoverPaths.join(u' ')));
            QVERIFY(!entryExists(source));
        }
        if (!wholeItemIsTheFile) {
            QVERIFY(!entryExists(tree.path(QStringLiteral("Project/other.txt"))));
            QVERIFY(!entryExists(tree.path(QStringLiteral("Project/sub/other-link.txt"))));
        }
        QCOMPARE(wasRead(watch.events(), file), proofReads);
    }

    // A program maps a file of the source shared and writes into its first page before the
    // comparison (leaving it as it was, but the page written), then writes into that page again once
    // the comparison read it, unmaps and ends. The kernel marks no new time for a write into a page
    // already written: the second write is seen only because the comparison writes the file's pages
    // back first (a file system that writes pages back) or because the caller looks for shared
    // mappings before the comparison (tmpfs writes nothing back). The file stays, reported as changed.
    void writesThroughASharedMapping_data()
    {
        QTest::addColumn<Disk>("disk");
        QTest::addColumn<bool>("looksForMappings");
        QTest::newRow("ext4, pages written back") << Disk::ext4 << false;
        QTest::newRow("tmpfs, shared mappings looked for") << Disk::fine << true;
    }

    void writesThroughASharedMapping()
    {
        QFETCH(Disk, disk);
        QFETCH(bool, looksForMappings);
        test::TestHome home;
        Volume volume(home, disk);
        SKIP_WITHOUT(volume);
        const QByteArray original(4 * 1024 * 1024, 'o');
        const QByteArray written(20, 'w');
        test::TestTree tree(volume.path());
        const QString file = tree.file(QStringLiteral("Project/big.bin"), original);
        const QString destination = home.path(QStringLiteral("moved"));
        // Opened by the test, which no look counts as a holder, for the program to map; its first
        // write leaves the bytes as they were, before the copy takes the file.
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CLOEXEC);
        QVERIFY(fd >= 0);
        const auto writer = test::pausedMappedWrite(fd, 4096, original.left(16), 100, written);
        ::close(fd);
        QVERIFY(writer->isPaused());

        std::atomic<bool> copied{false};
        std::atomic<int> comparedBlocks{0};
        std::atomic<bool> writtenAgain{false};
        MoveHooks hooks;
        hooks.timesProveNothing = true;
        hooks.copied = [&] {
            copied = true;
        };
        if (looksForMappings)
            hooks.mappedShared = [&] {
                return entriesMappedShared(volume.path());
            };
        MoveResult result;
        {
            test::FileOpenGate gate(
                file,
                [&] {
                    if (copied && ++comparedBlocks == 2)
                        writtenAgain = writer->resume();
                },
                test::FileOpenGate::Openings::reads);
            SKIP_WITHOUT(gate);
            result = moveItem(tree.path(QStringLiteral("Project")), destination, hooks);
        }
        QVERIFY2(writtenAgain, "the comparison was never held at its second block");
        QCOMPARE(result.changedPaths, QStringList{file});
        QCOMPARE(readWholeFile(file).mid(100, written.size()), written);
        QCOMPARE(readWholeFile(destination + QStringLiteral("/big.bin")), original);
    }

    // Removing one name of a hard-linked file moves the change time of its others, as a rewrite
    // whose program put the old modification time back does. A name may go while another keeps the
    // file; its last name goes only once it is compared again: so a rewrite through either name,
    // before or after the other went, is kept, and the file left as it was still goes.
    void aRemovedNameProvesNothing_data()
    {
        QTest::addColumn<bool>("rewrittenFirst");
        QTest::addColumn<bool>("rewrittenAfter");
        QTest::newRow("left as it was") << false << false;
        QTest::newRow("rewritten under its old time, then a name removed") << true << false;
        QTest::newRow("a name removed, then rewritten under its old time through the other") << false << true;
    }

    void aRemovedNameProvesNothing()
    {
        QFETCH(bool, rewrittenFirst);
        QFETCH(bool, rewrittenAfter);
        test::TestHome home;
        Volume volume(home, Disk::fine);
        SKIP_WITHOUT(volume);
        test::TestTree tree(volume.path());
        const QString first = tree.file(QStringLiteral("Project/d1/pairA"), kOlder);
        const QString second =
            tree.hardLink(QStringLiteral("Project/d8/pairB"), QStringLiteral("Project/d1/pairA"));
        const EntryLocation from = EntryLocation::open(tree.path(QStringLiteral("Project")));
        const EntryLocation to = EntryLocation::open(home.path(QStringLiteral("moved")));
        TreeCopier copier(from, to, {}, std::nullopt, true);
        copier.copy();
        copier.compareUnproven();
        const auto mayGo = [&](const QString& path, const QByteArray& relativePath) {
            struct stat info {};
            return ::lstat(QFile::encodeName(path).constData(), &info) == 0 &&
                   copier.copiedUnchanged(info, relativePath);
        };

        if (rewrittenFirst)
            rewriteKeepingTime(second, kNewer);
        // The other name keeps the file, whatever became of it.
        QVERIFY(mayGo(first, "d1/pairA"));
        QVERIFY(QFile::remove(first));
        if (rewrittenAfter)
            rewriteKeepingTime(second, kNewer);
        QCOMPARE(mayGo(second, "d8/pairB"), !rewrittenFirst && !rewrittenAfter);
        QCOMPARE(readWholeFile(home.path(QStringLiteral("moved/d8/pairB"))), kOlder);
    }

    // The start-up's removal of what a copy cut short left twice: a file of the original goes only
    // when the copy holds the same content, read whatever the disk and however long ago the file's
    // time lies (after a crash neither the clock nor the times a program left can be trusted).
    void duplicateRemovalComparesContent_data()
    {
        QTest::addColumn<Disk>("disk");
        QTest::addColumn<bool>("sameContent");
        QTest::newRow("ext4 seconds, other content") << Disk::wholeSecondsExt4 << false;
        QTest::newRow("ext4 seconds, same content") << Disk::wholeSecondsExt4 << true;
        QTest::newRow("vfat, other content") << Disk::vfat << false;
        QTest::newRow("fine times, other content") << Disk::fine << false;
        QTest::newRow("fine times, same content") << Disk::fine << true;
    }

    void duplicateRemovalComparesContent()
    {
        QFETCH(Disk, disk);
        QFETCH(bool, sameContent);
        test::TestHome home;
        const Volume volume(home, disk);
        SKIP_WITHOUT(volume);
        test::TestTree tree(volume.path());
        const QString original = tree.file(QStringLiteral("original/state.db"), kOlder);
        const QString copy = tree.file(QStringLiteral("copy/state.db"), sameContent ? kOlder : kNewer);
        const timespec written = wholeSecondsAgo(kLongAgo);
        setModified(original, written);
        setModified(copy, written);

        test::FileAccessWatch watch({volume.path()});
        QVERIFY2(watch.isValid(), qPrintable(watch.skipReason()));
        const EntryLocation from = EntryLocation::open(tree.path(QStringLiteral("original")));
        struct stat root {};
        QCOMPARE(::fstatat(from.parent.get(), from.name.constData(), &root, AT_SYMLINK_NOFOLLOW), 0);
        const RemovalOutcome outcome = removeDuplicateTree(
            from, EntryLocation::open(tree.path(QStringLiteral("copy"))), EntryIdentity::of(root));

        QVERIFY(wasRead(watch.events(), original));
        if (sameContent) {
            QVERIFY(outcome.leftoverPaths.isEmpty());
            QVERIFY(!entryExists(tree.path(QStringLiteral("original"))));
        } else {
            QCOMPARE(outcome.keptPaths, QStringList{original});
            QCOMPARE(readWholeFile(original), kOlder);
        }
        QCOMPARE(readWholeFile(copy), sameContent ? kOlder : kNewer);
    }
};

QTEST_GUILESS_MAIN(RemovalProofTest)
#include "tst_removalproof.moc"
