#include "platform/KernelHolds.h"
#include "platform/ProcessTable.h"
#include "platform/RingFiles.h"
#include "support/BindMount.h"
#include "support/ChildProcess.h"
#include "support/ForkedHolder.h"
#include "support/HoldingProcess.h"
#include "support/KernelHeldFile.h"
#include "support/MountNamespace.h"
#include "support/SkipWithout.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "support/TmpfsMount.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QTest>
#include <cstddef>
#include <cstring>
#include <linux/filter.h>
#include <linux/kcmp.h>
#include <linux/seccomp.h>
#include <memory>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace orvalink;
using namespace orvalink::platform;

namespace {

using Holder = std::unique_ptr<test::HoldingProcess>;

Holder startSleeper(const QString& workingDirectory, const QString& inputFile = {},
                    const QString& program = QStringLiteral("sleep"))
{
    return std::make_unique<test::HoldingProcess>(
        test::HoldingProcess::Options{workingDirectory, inputFile, program});
}

bool lists(const std::vector<PathHolder>& holders, pid_t pid)
{
    return std::any_of(holders.begin(), holders.end(),
                       [&](const PathHolder& holder) { return holder.pid == pid; });
}

bool lists(const std::vector<PathHolder>& holders, const Holder& process)
{
    return lists(holders, process->pid());
}

EntryIdentity identityOf(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return EntryIdentity::of(info);
}

// A process holding the entry at `path` in one of the ways a program can, named by `how`.
struct AnyHolder {
    std::unique_ptr<test::ForkedHolder> forked;
    Holder started;
    pid_t pid() const { return forked ? forked->pid() : started->pid(); }
    std::optional<QString> skipReason() const { return forked ? forked->skipReason() : std::nullopt; }
};

const QHash<QString, test::ForkedHolder::Hold> kForkedHolds{
    {"open", test::ForkedHolder::Hold::open},
    {"mapped", test::ForkedHolder::Hold::mapped},
    {"thread working directory", test::ForkedHolder::Hold::threadWorkingDirectory},
    {"thread descriptor", test::ForkedHolder::Hold::threadDescriptor},
    {"ring", test::ForkedHolder::Hold::registeredWithRing},
};

// Ways a program holds a folder: "working directory" and "thread working directory"; any other
// holds a file.
bool holdsAFolder(const QString& how)
{
    return how.endsWith("working directory");
}

AnyHolder holdAs(const QString& how, const QString& path, const QString& elsewhere)
{
    AnyHolder holder;
    if (kForkedHolds.contains(how)) {
        holder.forked = std::make_unique<test::ForkedHolder>(path, kForkedHolds.value(how));
        if (!holder.forked->isHolding() && !holder.forked->skipReason())
            qFatal("the child could not hold the file");
    } else if (how == "working directory") {
        holder.started = startSleeper(path);
    } else {
        holder.started = startSleeper(elsewhere, {}, path);
    }
    return holder;
}

// An overlay whose lower and upper layers lie on two tmpfs of their own, mounted at `merged`, with
// the file `lowerFile` in its lower layer: stat shows its files under other devices than the
// overlay's, while a mapping of one reports the overlay's, as on btrfs, where the mappings report
// the file system's device and stat that of the subvolume.
class Overlay {
public:
    Overlay(const test::TestHome& home, QString merged, const QString& lowerFile)
        : m_lower(home.path(QStringLiteral("lower"))), m_upper(home.path(QStringLiteral("upper"))),
          m_merged(std::move(merged))
    {
        if (!m_lower.isValid() || !m_upper.isValid()) {
            m_skipReason = m_lower.isValid() ? m_upper.skipReason() : m_lower.skipReason();
            return;
        }
        for (const QString& folder : {m_upper.mountPoint() + QStringLiteral("/data"),
                                      m_upper.mountPoint() + QStringLiteral("/work"), m_merged})
            QDir().mkpath(folder);
        test::TestTree(m_lower.mountPoint()).file(lowerFile, QByteArray(8192, 'x'));
        const QByteArray options = "lowerdir=" + QFile::encodeName(m_lower.mountPoint()) +
                                   ",upperdir=" + QFile::encodeName(m_upper.mountPoint()) + "/data" +
                                   ",workdir=" + QFile::encodeName(m_upper.mountPoint()) + "/work";
        // In the tests' own namespace of a regular user the overlay would want more rights than the
        // one to mount that it lends: there the test skips.
        if (const int error = test::mounts::mount("overlay", m_merged, "overlay", 0, options); error != 0)
            m_skipReason = QStringLiteral("cannot mount an overlay here%1: ")
                               .arg(::geteuid() == 0 ? QString() : QStringLiteral(" without root")) +
                           QString::fromUtf8(std::strerror(error));
    }
    ~Overlay()
    {
        if (!m_skipReason)
            test::mounts::unmount(m_merged);
    }
    Overlay(const Overlay&) = delete;
    Overlay& operator=(const Overlay&) = delete;

    std::optional<QString> skipReason() const { return m_skipReason; }

private:
    test::TmpfsMount m_lower;
    test::TmpfsMount m_upper;
    QString m_merged;
    std::optional<QString> m_skipReason;
};

// Makes kcmp(2) fail with EPERM in the calling process and its children, as a sandbox may.
bool refuseKcmp()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_kcmp, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0 &&
           ::syscall(SYS_kcmp, ::getpid(), ::getpid(), KCMP_FILES, 0, 0) != 0;
}

QList<EntryIdentity> identitiesOf(const std::vector<KernelHold>& holds)
{
    QList<EntryIdentity> identities;
    for (const KernelHold& hold : holds)
        identities.append(hold.identity);
    return identities;
}

} // namespace

Q_DECLARE_METATYPE(test::KernelHeldFile::Kind)
Q_DECLARE_METATYPE(RingFiles::Named)

class ProcessTableTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pathsAreMatchedAsTheKernelReportsThem()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.dir("data/sub");
        tree.dir("data-other");
        const auto inSub = startSleeper(tree.path("data/sub"));
        const auto inOther = startSleeper(tree.path("data-other"));
        const auto below = processesHolding(tree.path("data"), true);
        QVERIFY(lists(below, inSub));
        QVERIFY(!lists(below, inOther)); // a sibling that merely shares the prefix
        // The path is standardized, and links in it are resolved as the kernel resolves them.
        tree.symlink("alias", tree.path("data"));
        QVERIFY(lists(processesHolding(tree.path("alias/../data/"), true), inSub));
        QVERIFY(lists(processesHolding(tree.path("alias"), true), inSub));

        const auto record = std::find_if(below.begin(), below.end(),
                                         [&](const PathHolder& h) { return h.pid == inSub->pid(); });
        QCOMPARE(record->name, QStringLiteral("sleep"));
        QCOMPARE(std::optional<quint64>(record->startTime), processStartTime(record->pid));
    }

    void openAndExecutedFilesHold()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString held = tree.file("data/held.txt", "x");
        tree.file("data/held.txt2", "y");
        const auto reader = startSleeper(home.root(), held);
        QVERIFY(lists(processesHolding(held, false), reader));
        QVERIFY(lists(processesHolding(tree.path("data"), true), reader));
        QVERIFY(!lists(processesHolding(tree.path("data/held.txt2"), false), reader));

        tree.dir("tools");
        QVERIFY(QFile::copy("/bin/sleep", tree.path("tools/napper")));
        QFile::setPermissions(tree.path("tools/napper"), QFileDevice::ExeOwner | QFileDevice::ReadOwner);
        const auto napper = startSleeper(home.root(), {}, tree.path("tools/napper"));
        const auto holders = processesHolding(tree.path("tools"), true);
        QVERIFY(lists(holders, napper));
        QVERIFY(std::any_of(holders.begin(), holders.end(),
                            [](const PathHolder& h) { return h.name == "napper"; }));
    }

    void deletedFilesNoLongerHold()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString file = tree.file("data/gone.txt", "x");
        const auto reader = startSleeper(home.root(), file);
        QVERIFY(lists(processesHolding(tree.path("data"), true), reader));
        QVERIFY(QFile::remove(file));
        QVERIFY(!lists(processesHolding(tree.path("data"), true), reader));
    }

    // The kernel marks the paths of removed entries with " (deleted)", but a name may end so too:
    // whether a holder still holds something in the tree is told by the entry, in every way a
    // program can hold one.
    void removedEntriesAreToldByTheirStatus_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("removed");
        for (const char* how : {"open", "mapped", "working directory", "executable",
                                "thread working directory", "thread descriptor", "ring"}) {
            for (const char* name : {"data", "data (deleted)"}) {
                QTest::addRow("%s, %s", how, name) << how << name << false;
                QTest::addRow("%s, %s, removed", how, name) << how << name << true;
            }
        }
    }
    void removedEntriesAreToldByTheirStatus()
    {
        QFETCH(QString, how);
        QFETCH(QString, name);
        QFETCH(bool, removed);
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString path = tree.path("place/" + name);
        if (holdsAFolder(how)) {
            tree.dir("place/" + name);
        } else {
            tree.dir("place");
            QVERIFY(QFile::copy("/bin/sleep", path)); // any file; this one also runs
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner));
        }
        const AnyHolder holder = holdAs(how, path, home.root());
        SKIP_WITHOUT(holder);
        const EntryIdentity identity = identityOf(path);
        if (removed)
            QCOMPARE(::remove(QFile::encodeName(path).constData()), 0);

        QCOMPARE(lists(processesHolding(tree.path("place"), true), holder.pid()), !removed);
        if (!removed) {
            QVERIFY(lists(processesHolding(path, false), holder.pid()));
            QVERIFY(entriesInUse(tree.path("place")).contains(identity));
        }
    }

    // Where a sandbox refuses kcmp, which tells what threads share, every thread is read: what a
    // thread holds apart from the rest of its program is found all the same.
    void threadsAreReadWhereKcmpIsRefused_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("thread working directory") << "thread working directory";
        QTest::newRow("thread descriptor") << "thread descriptor";
    }
    void threadsAreReadWhereKcmpIsRefused()
    {
        QFETCH(QString, how);
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString place = tree.dir("place");
        const QString held = holdsAFolder(how) ? place : tree.file("place/held.txt", "x");
        const AnyHolder holder = holdAs(how, held, home.root());
        const pid_t pid = holder.pid();
        const EntryIdentity identity = identityOf(held);

        const test::ChildOutcome look = test::runInChild(
            [&](QByteArray& output) {
                if (!refuseKcmp())
                    return 1;
                output = QByteArray::number(lists(processesHolding(place, true), pid)) +
                         QByteArray::number(entriesInUse(place).contains(identity));
                return 0;
            },
            false);
        QCOMPARE(look.exitCode, 0);
        QCOMPARE(look.output, QByteArray("11"));
    }

    // The fdinfo of a ring names the files registered with it by their paths, escaped, and tells
    // when it cannot: while another thread held the ring it shows nothing of it, or the count
    // alone, and older kernels name the files by the last part of their names only.
    void ringFilesAreReadFromTheFdinfo_data()
    {
        QTest::addColumn<QByteArray>("fdinfo");
        QTest::addColumn<RingFiles::Named>("named");
        QTest::addColumn<QList<QByteArray>>("paths");
        const QByteArray generic = "pos:\t0\nflags:\t02000002\nmnt_id:\t17\nino:\t32259\n";
        const QByteArray head = generic + "SqMask:\t0x3\nSQEs:\t1\n    0: opcode:READ, fd:0, flags:1\n" +
                                "CQEs:\t1\n    0: user_data:7, res:0, flag:0\nSqThread:\t-1\n";
        const QByteArray tail = "UserBufs:\t1\n    0: 0x7f0000/4096\nPollList:\nCqOverflowList:\n";
        QTest::newRow("named by their paths")
            << head + "UserFiles:\t5\n    0: /home/a\\040b/log\\134x\n    2: /home/gone\\040(deleted)\n" +
                   "    3: socket:[4711]\n    4: anon_inode:[eventfd]\n" + tail
            << RingFiles::Named::all << QList<QByteArray>{"/home/a b/log\\x", "/home/gone (deleted)"};
        QTest::newRow("none registered")
            << head + "UserFiles:\t0\n" + tail << RingFiles::Named::all << QList<QByteArray>{};
        QTest::newRow("busy, nothing of the ring")
            << generic << RingFiles::Named::notWhileBusy << QList<QByteArray>{};
        QTest::newRow("busy, the count alone")
            << head + "UserFiles:\t2\n" + tail << RingFiles::Named::notWhileBusy << QList<QByteArray>{};
        QTest::newRow("last parts of the names")
            << head + "UserFiles:\t3\n    0: log.txt\n    1: <none>\n    2: [eventfd]\n" + tail
            << RingFiles::Named::notByPath << QList<QByteArray>{};
        QTest::newRow("older kernel, a pipe and an empty place")
            << head + "UserFiles:\t2\n    0: \n    1: <none>\n" + tail << RingFiles::Named::all
            << QList<QByteArray>{};
    }
    void ringFilesAreReadFromTheFdinfo()
    {
        QFETCH(QByteArray, fdinfo);
        QFETCH(RingFiles::Named, named);
        QFETCH(QList<QByteArray>, paths);
        const RingFiles files = ringFilesIn(fdinfo);
        QCOMPARE(files.named, named);
        QCOMPARE(QList<QByteArray>(files.paths.begin(), files.paths.end()), paths);
    }

    // A program that holds a file by a name that was removed while the file lives on by another (a
    // log rotated by link and unlink) holds the tree where that other name lies, and only there; a
    // file with no name left lies in no tree. A name may itself end in " (deleted)".
    void entriesHeldByARemovedNameCountWhereTheyLive_data()
    {
        QTest::addColumn<QString>("held");
        QTest::addColumn<QString>("survivor");
        QTest::addColumn<bool>("inTheTree");
        QTest::newRow("rotated beside it") << "logs/app.log"
                                           << "logs/app.log.1" << true;
        QTest::newRow("rotated into a folder below") << "logs/app.log"
                                                     << "logs/old/app.log.1" << true;
        QTest::newRow("removed name ending in the mark") << "logs/app (deleted)"
                                                         << "logs/app.1" << true;
        QTest::newRow("survivor named with the mark") << "logs/app"
                                                      << "logs/app (deleted)" << true;
        QTest::newRow("rotated out of the tree") << "logs/app.log"
                                                 << "elsewhere/app.log.1" << false;
        QTest::newRow("no name left") << "logs/app.log"
                                      << "" << false;
    }
    void entriesHeldByARemovedNameCountWhereTheyLive()
    {
        QFETCH(QString, held);
        QFETCH(QString, survivor);
        QFETCH(bool, inTheTree);
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.file(held, "first line\n");
        tree.dir("logs/old");
        tree.dir("elsewhere");
        if (!survivor.isEmpty())
            tree.hardLink(survivor, held);
        const test::ForkedHolder holder(tree.path(held), test::ForkedHolder::Hold::open);
        QVERIFY(holder.isHolding());
        QVERIFY(QFile::remove(tree.path(held)));

        QCOMPARE(lists(processesHolding(tree.path("logs"), true), holder.pid()), inTheTree);
        if (!survivor.isEmpty()) {
            QVERIFY(lists(processesHolding(tree.path(survivor), false), holder.pid()));
            QVERIFY(entriesInUse(tree.path(survivor)).contains(identityOf(tree.path(survivor))));
        }
        QVERIFY(!lists(processesHolding(tree.path("logs/old/missing"), true), holder.pid()));
    }

    // A loop device's backing file and a swap file are held by the kernel, with no process behind
    // them: known by their identity, also through another mount of their folder, also to a regular
    // user, and only while the kernel holds them.
    void kernelHoldsAreFoundByIdentity_data()
    {
        QTest::addColumn<test::KernelHeldFile::Kind>("kind");
        for (const auto kind : {test::KernelHeldFile::Kind::loopDevice, test::KernelHeldFile::Kind::swap})
            QTest::newRow(test::kernelHoldName(kind)) << kind;
    }
    void kernelHoldsAreFoundByIdentity()
    {
        QFETCH(test::KernelHeldFile::Kind, kind);
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString image = tree.fileOfSize("data/disks/container.img", 1024 * 1024);
        tree.dir("data-other");
        tree.dir("view");
        test::KernelHeldFile held(image, kind);
        SKIP_WITHOUT(held);
        const QStringList holder{held.holderName()};

        QCOMPARE(kernelHoldersOf(tree.path("data"), true), holder);
        QCOMPARE(kernelHoldersOf(image, false), holder);
        QVERIFY(kernelHoldersOf(tree.path("data"), false).isEmpty());
        QVERIFY(kernelHoldersOf(tree.path("data-other"), true).isEmpty());
        QVERIFY(entriesInUse(tree.path("data")).contains(identityOf(image)));
        {
            // The kernel names the file by its path through the first mount; this one is another.
            const test::BindMount view(tree.path("data"), tree.path("view"));
            SKIP_WITHOUT(view);
            QCOMPARE(kernelHoldersOf(tree.path("view/disks"), true), holder);
        }

        if (!test::Unprivileged::skipReason()) {
            // A regular user may not ask the loop device itself; the path the kernel names serves.
            test::Unprivileged::openUp(home.root());
            const auto found = test::Unprivileged::run(
                [&] { return kernelHoldersOf(tree.path("data"), true).join(QLatin1Char(',')).toUtf8(); });
            QCOMPARE(found, std::optional<QByteArray>(holder.join(QLatin1Char(',')).toUtf8()));
        }

        const EntryIdentity identity = identityOf(image);
        if (kind == test::KernelHeldFile::Kind::loopDevice) {
            // Renamed by link and unlink: the path the kernel names leads nowhere now; the device
            // itself still tells which file it uses.
            tree.hardLink("data/disks/kept.img", "data/disks/container.img");
            QVERIFY(QFile::remove(image));
            QCOMPARE(kernelHoldersOf(tree.path("data"), true), holder);
            QVERIFY(kernelHoldersOf(tree.path("data-other"), true).isEmpty());
        }

        QVERIFY(held.release());
        QVERIFY(kernelHoldersOf(tree.path("data"), true).isEmpty());
        QVERIFY(!entriesInUse(tree.path("data")).contains(identity));
    }

    // /proc/swaps writes space, tab, line feed and backslash in a path as "\ooo" and marks a path
    // whose name was removed with " (deleted)": the file at the path as written is the swap file,
    // and never a file at the name without the mark, which came after it.
    void swapFilesAreTheEntriesAtTheirListedPaths()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString spaced = tree.file("swap files/a b", "x");
        const QString slashed = tree.file("swap files/back\\slash", "x");
        const QString marked = tree.file("swap files/named (deleted)", "x");
        tree.file("swap files/removed", "a later file at the removed name");
        const QByteArray folder = QFile::encodeName(tree.path("swap files")).replace(" ", "\\040");
        const QByteArray table = "Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n" + folder +
                                 "/a\\040b                  file\t\t1020\t\t0\t\t-2\n" + folder +
                                 "/back\\134slash           file\t\t1020\t\t0\t\t-3\n" + folder +
                                 "/named\\040(deleted)      file\t\t1020\t\t0\t\t-4\n" + folder +
                                 "/removed\\040(deleted)    file\t\t1020\t\t0\t\t-5\n" + folder +
                                 "/missing                 file\t\t1020\t\t0\t\t-6\n" +
                                 "/dev/zram0                              partition\t8388604\t\t0\t\t100\n";

        const std::vector<KernelHold> holds = swapFileHolds(table);
        QCOMPARE(identitiesOf(holds),
                 (QList<EntryIdentity>{identityOf(spaced), identityOf(slashed), identityOf(marked)}));
        QCOMPARE(holds.front().holder, QStringLiteral("swap"));
        QCOMPARE(holds.front().path, QFile::encodeName(spaced));
    }

    // The entries in use are known by identity, whoever holds them and by whatever name, and only
    // while they are held; our own process never counts.
    void entriesInUseAreHeldOnesOnly()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString held = tree.file("data/held.txt", "x");
        const QString ours = tree.file("data/ours.txt", "y");
        tree.symlink("alias", tree.path("data"));
        QFile own(ours);
        QVERIFY(own.open(QIODevice::ReadOnly));
        QVERIFY(!entriesInUse(tree.path("data")).contains(identityOf(ours)));
        {
            const test::ForkedHolder holder(tree.path("alias/held.txt"), test::ForkedHolder::Hold::open);
            QVERIFY(holder.isHolding());
            QVERIFY(entriesInUse(tree.path("data")).contains(identityOf(held)));
        }
        QVERIFY(!entriesInUse(tree.path("data")).contains(identityOf(held)));
        QVERIFY(entriesInUse(tree.path("missing")).isEmpty());
    }

    // A file in use is known by the identity stat gives it, however a program holds it: also where
    // a mapping reports another device than stat (btrfs subvolumes, overlays), in either layer.
    void heldFilesAreKnownAsStatShowsThem_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("inLowerLayer");
        for (const char* how : {"open", "mapped"}) {
            QTest::addRow("%s, written to the overlay", how) << how << false;
            QTest::addRow("%s, from the layer below", how) << how << true;
        }
    }

    void heldFilesAreKnownAsStatShowsThem()
    {
        QFETCH(QString, how);
        QFETCH(bool, inLowerLayer);
        test::TestHome home;
        const QString merged = home.path(QStringLiteral("merged"));
        const Overlay overlay(home, merged, QStringLiteral("below.bin"));
        SKIP_WITHOUT(overlay);
        const QString file =
            merged + (inLowerLayer ? QStringLiteral("/below.bin") : QStringLiteral("/held.bin"));
        if (!inLowerLayer)
            test::TestTree(merged).file("held.bin", QByteArray(8192, 'x'));
        const AnyHolder holder = holdAs(how, file, home.root());

        QVERIFY(entriesInUse(file).contains(identityOf(file)));
    }

    // Another user's program is listed with its owner and never signalled, whatever our rights.
    void anotherUsersProcessIsNeverSignalled()
    {
        if (const auto reason = test::Unprivileged::skipReason())
            QSKIP(qPrintable(*reason));
        test::TestHome home;
        test::HoldingProcess::Options options;
        options.workingDirectory = home.root();
        options.asNobody = true;
        test::HoldingProcess theirs(options);
        const auto started = processStartTime(theirs.pid());
        QVERIFY(started);
        QCOMPARE(processOwner(theirs.pid()), std::optional<uid_t>(test::unprivilegedUid()));
        const auto holders = processesHolding(home.root(), true);
        const auto record = std::find_if(holders.begin(), holders.end(),
                                         [&](const PathHolder& h) { return h.pid == theirs.pid(); });
        QVERIFY(record != holders.end());
        QCOMPARE(record->owner, test::unprivilegedUid());

        QVERIFY(!terminateProcess(theirs.pid(), *started));
        QVERIFY(!theirs.process().waitForFinished(300));
    }

    void terminationNeedsTheSameProcess()
    {
        test::TestHome home;
        const auto sleeper = startSleeper(home.root());
        const pid_t pid = sleeper->pid();
        const auto started = processStartTime(pid);
        QVERIFY(started);

        // Another start time means the pid now names another process: it must not be signalled.
        QVERIFY(!terminateProcess(pid, *started + 1));
        QVERIFY(!sleeper->process().waitForFinished(300));

        QVERIFY(terminateProcess(pid, *started));
        QVERIFY(sleeper->process().waitForFinished(5000));
        QCOMPARE(sleeper->process().exitStatus(), QProcess::CrashExit);
        QVERIFY(!terminateProcess(pid, *started)); // gone
    }

    void neverSignalsInitOurselvesOrOurParent()
    {
        QVERIFY(isProtectedProcess(1));
        QVERIFY(isProtectedProcess(0));
        QVERIFY(isProtectedProcess(::getpid()));
        QVERIFY(isProtectedProcess(::getppid()));
        // Were this delivered, the test would die here.
        QVERIFY(!terminateProcess(::getpid(), processStartTime(::getpid()).value()));
        test::TestHome home;
        const auto sleeper = startSleeper(home.root());
        QVERIFY(!isProtectedProcess(sleeper->pid()));
    }
};

QTEST_GUILESS_MAIN(ProcessTableTest)
#include "tst_processtable.moc"
