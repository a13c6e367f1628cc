#include "platform/ProcessTable.h"
#include "support/HoldingProcess.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QTest>
#include <memory>
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

bool lists(const std::vector<PathHolder>& holders, const Holder& process)
{
    return std::any_of(holders.begin(), holders.end(),
                       [&](const PathHolder& holder) { return holder.pid == process->pid(); });
}

} // namespace

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
