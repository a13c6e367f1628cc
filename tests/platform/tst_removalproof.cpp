// What a removal after a copy may take: a file goes only when it is proven the same as its copy,
// by its times where they can prove it and the caller lets them, else by its content, read only
// then.
#include "platform/DuplicateRemoval.h"
#include "platform/EntryLocation.h"
#include "platform/FileIO.h"
#include "platform/FileMove.h"
#include "support/FileAccessWatch.h"
#include "support/LoopMount.h"
#include "support/SkipWithout.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "support/TmpfsMount.h"

#include <QTest>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

using namespace orvalink;
using namespace orvalink::platform;

namespace {

enum class Disk { fine, wholeSecondsExt4, vfat };

// A volume of the kind a row names, mounted below the test home.
class Volume {
public:
    Volume(const test::TestHome& home, Disk disk)
    {
        const QString mountPoint = home.volumes() + QStringLiteral("/External");
        if (disk == Disk::fine)
            m_tmpfs = std::make_unique<test::TmpfsMount>(mountPoint);
        else
            m_loop = std::make_unique<test::LoopMount>(
                mountPoint,
                disk == Disk::vfat ? test::LoopMount::Kind::vfat : test::LoopMount::Kind::wholeSecondsExt4);
    }

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
};

// Ahead of the clock: however slowly the machine runs, no copy begins well after such a time.
constexpr time_t kJustNow = -10;
constexpr time_t kLongAgo = 3600;

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

} // namespace

Q_DECLARE_METATYPE(Disk)

class RemovalProofTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A move to another disk removes the source file after the copy only when it is unchanged:
    // times prove it on a disk that keeps fine times for a file written well before the copy (and
    // then it is not even read), unless the caller says they prove nothing there; otherwise its
    // content must equal the copy's. A file rewritten with as many bytes in the same tick or second,
    // or with its old time put back, stays, reported as changed.
    void moveRemovesWhatIsProven_data()
    {
        QTest::addColumn<Disk>("disk");
        QTest::addColumn<time_t>("writtenSecondsAgo");
        QTest::addColumn<bool>("timesProveNothing");
        QTest::addColumn<bool>("rewritten");
        QTest::addColumn<bool>("wholeItemIsTheFile");
        QTest::addColumn<bool>("proofReads");
        QTest::newRow("fine times, written long ago")
            << Disk::fine << kLongAgo << false << false << false << false;
        QTest::newRow("fine times, long ago, times prove nothing")
            << Disk::fine << kLongAgo << true << false << false << true;
        QTest::newRow("fine times, long ago, times prove nothing, rewritten")
            << Disk::fine << kLongAgo << true << true << false << true;
        QTest::newRow("fine times, long ago, times prove nothing, a single file rewritten")
            << Disk::fine << kLongAgo << true << true << true << true;
        QTest::newRow("fine times, written just now")
            << Disk::fine << kJustNow << false << false << false << true;
        QTest::newRow("fine times, just now, rewritten")
            << Disk::fine << kJustNow << false << true << false << true;
        QTest::newRow("fine times, a single file rewritten")
            << Disk::fine << kJustNow << false << true << true << true;
        QTest::newRow("fine times, a single file kept")
            << Disk::fine << kJustNow << false << false << true << true;
        QTest::newRow("ext4 seconds, long ago")
            << Disk::wholeSecondsExt4 << kLongAgo << false << false << false << true;
        QTest::newRow("ext4 seconds, long ago, rewritten")
            << Disk::wholeSecondsExt4 << kLongAgo << false << true << false << true;
        QTest::newRow("vfat, long ago") << Disk::vfat << kLongAgo << false << false << false << true;
        QTest::newRow("vfat, long ago, rewritten")
            << Disk::vfat << kLongAgo << false << true << false << true;
    }

    void moveRemovesWhatIsProven()
    {
        QFETCH(Disk, disk);
        QFETCH(time_t, writtenSecondsAgo);
        QFETCH(bool, timesProveNothing);
        QFETCH(bool, rewritten);
        QFETCH(bool, wholeItemIsTheFile);
        QFETCH(bool, proofReads);
        test::TestHome home;
        const Volume volume(home, disk);
        SKIP_WITHOUT(volume);
        test::TestTree tree(volume.path());
        const QString file = tree.file(QStringLiteral("Project/sub/state.db"), kOlder);
        tree.file(QStringLiteral("Project/other.txt"), "other");
        setModified(file, wholeSecondsAgo(writtenSecondsAgo));
        const QString source = wholeItemIsTheFile ? file : tree.path(QStringLiteral("Project"));
        const QString destination = home.path(QStringLiteral("moved"));

        test::FileAccessWatch watch({volume.path()});
        QVERIFY2(watch.isValid(), qPrintable(watch.skipReason()));
        MoveHooks hooks;
        hooks.timesProveNothing = timesProveNothing;
        hooks.copied = [&] {
            watch.events(); // what the copy read
            if (rewritten)
                rewriteKeepingTime(file, kNewer);
        };
        const MoveResult result = moveItem(source, destination, hooks);

        QCOMPARE(wasRead(watch.events(), file), proofReads);
        const QString copied =
            wholeItemIsTheFile ? destination : destination + QStringLiteral("/sub/state.db");
        QCOMPARE(readWholeFile(copied), kOlder);
        if (rewritten) {
            QCOMPARE(result.changedPaths, QStringList{file});
            QCOMPARE(readWholeFile(file), kNewer);
        } else {
            QVERIFY2(result.leftoverPaths.isEmpty(), qPrintable(result.leftoverPaths.join(u' ')));
            QVERIFY(!entryExists(source));
        }
        if (!wholeItemIsTheFile)
            QVERIFY(!entryExists(tree.path(QStringLiteral("Project/other.txt"))));
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
