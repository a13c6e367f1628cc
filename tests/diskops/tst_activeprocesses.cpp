#include "diskops/ActiveProcessService.h"
#include "model/OrvalinkError.h"
#include "platform/ProcessTable.h"
#include "support/HoldingProcess.h"
#include "support/KernelHeldFile.h"
#include "support/SkipWithout.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "support/Unprivileged.h"

#include <QElapsedTimer>
#include <QTest>
#include <memory>
#include <unistd.h>

using namespace orvalink;
using namespace std::chrono_literals;

namespace {

using Holder = std::unique_ptr<test::HoldingProcess>;

Holder hold(const QString& workingDirectory, const QString& program = QStringLiteral("sleep"),
            bool ignoreTermination = false, bool asNobody = false)
{
    return std::make_unique<test::HoldingProcess>(
        test::HoldingProcess::Options{workingDirectory, {}, program, ignoreTermination, asNobody});
}

// A copy of sleep under another name, so processes can be told apart by name.
QString sleepNamed(test::TestTree& tree, const QString& name)
{
    const QString path = tree.path("bin/" + name);
    tree.dir("bin");
    if (!QFile::copy("/bin/sleep", path) || !QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner))
        qFatal("cannot copy sleep");
    return path;
}

const ActiveProcessService::Timing kQuick{300ms, 20ms};

} // namespace

Q_DECLARE_METATYPE(test::KernelHeldFile::Kind)

class ActiveProcessesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void holdersAreListedByNameWithoutOurselves()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.dir("data/sub");
        const auto first = hold(tree.path("data/sub"));
        const auto second = hold(tree.path("data"));
        const auto beta = hold(tree.path("data"), sleepNamed(tree, "beta"));
        const auto alpha = hold(tree.path("data/sub"), sleepNamed(tree, "Alpha"));
        // We hold a file in the tree too, and are never listed.
        QFile own(tree.file("data/own.txt", "x"));
        QVERIFY(own.open(QIODevice::ReadOnly));

        const ActiveProcessService service;
        QCOMPARE(service.activeProcessNames(tree.path("data/")),
                 QStringList({"Alpha", "beta", "sleep", "sleep"}));
        const auto processes = service.activeProcesses(tree.path("data"), true);
        QCOMPARE(processes[0].pid, alpha->pid());
        QCOMPARE(processes[0].startTime, platform::processStartTime(alpha->pid()).value());

        // A directory taken as a plain path counts only what sits in it directly.
        QCOMPARE(service.activeProcessNames(tree.path("data"), false), QStringList({"beta", "sleep"}));
        QCOMPARE(service.activeProcessNames(tree.path("data/own.txt")), QStringList());
        QVERIFY(service.activeProcesses(tree.path("missing")).isEmpty());
    }

    void terminationEndsHoldersAndReportsThemOnce()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.dir("data");
        const auto one = hold(tree.path("data"));
        const auto two = hold(tree.path("data"));
        const auto napper = hold(tree.path("data"), sleepNamed(tree, "napper"));
        const ActiveProcessService service(kQuick);
        auto holders = service.activeProcesses(tree.path("data"));
        QCOMPARE(holders.size(), 3);
        holders.append(holders.first()); // repeats are signalled once

        QCOMPARE(service.terminateActiveProcesses(holders, tree.path("data"), true),
                 QStringList({"napper", "sleep"}));
        for (const auto* process : {&one, &two, &napper}) {
            QVERIFY((*process)->process().waitForFinished(5000));
            QCOMPARE((*process)->process().exitStatus(), QProcess::CrashExit);
        }
        QVERIFY(service.terminateActiveProcesses({}, tree.path("data"), true).isEmpty());

        // Our own record, handed in, is never signalled (the test would die) nor reported.
        const ActiveProcess self{::getpid(), "self", platform::processStartTime(::getpid()).value(), {}};
        QVERIFY(service.terminateActiveProcesses({self}, home.path("free"), true).isEmpty());
    }

    void aSurvivorAtTheDeadlineIsSourceInUse()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.dir("data");
        const auto stubborn = hold(tree.path("data"), "sleep", true);
        const ActiveProcessService service(kQuick);
        const auto holders = service.activeProcesses(tree.path("data"));
        QCOMPARE(holders.size(), 1);

        QElapsedTimer timer;
        timer.start();
        try {
            service.terminateActiveProcesses(holders, tree.path("data") + "/", true);
            QFAIL("expected E007");
        } catch (const OrvalinkError& error) {
            QCOMPARE(error.code(), QStringLiteral("E007"));
            QCOMPARE(error.path(), tree.path("data") + "/"); // as it was passed in
            QCOMPARE(error.processes(), QStringList({"sleep"}));
        }
        QVERIFY(timer.elapsed() >= kQuick.deadline.count());
        QVERIFY(stubborn->process().state() == QProcess::Running);

        // An empty list returns at once, whoever holds the path.
        QVERIFY(service.terminateActiveProcesses({}, tree.path("data"), true).isEmpty());
    }

    // Run as root, another user's program is never ended: it is named with its owner, and since it
    // refuses the operation in any case, asked to end the holders the service ends none of them, for
    // a migration as for an undo.
    void anotherUsersHolderIsLeftAlone_data()
    {
        QTest::addColumn<OrvalinkError::Operation>("operation");
        QTest::newRow("migration") << OrvalinkError::Operation::migration;
        QTest::newRow("undo") << OrvalinkError::Operation::undo;
    }
    void anotherUsersHolderIsLeftAlone()
    {
        QFETCH(OrvalinkError::Operation, operation);
        if (const auto reason = test::Unprivileged::skipReason())
            QSKIP(qPrintable(*reason));
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.dir("data");
        const auto ours = hold(tree.path("data"));
        const auto theirs = hold(tree.path("data"), "sleep", false, true);
        const ActiveProcessService service(kQuick);
        const QString shown = QStringLiteral("sleep (user nobody)");
        QCOMPARE(service.activeProcessNames(tree.path("data")), (QStringList{"sleep", shown}));
        try {
            service.clearHolders(tree.path("data"), true, false, "/shown", operation);
            QFAIL("expected E007");
        } catch (const OrvalinkError& error) {
            QCOMPARE(error.processes(), (QStringList{"sleep", shown}));
            QCOMPARE(error.operation(), operation);
        }

        try {
            service.clearHolders(tree.path("data"), true, true, "/shown", operation);
            QFAIL("expected E007");
        } catch (const OrvalinkError& error) {
            QCOMPARE(error.code(), QStringLiteral("E007"));
            QCOMPARE(error.path(), QStringLiteral("/shown"));
            QCOMPARE(error.processes(), (QStringList{"sleep", shown}));
            QCOMPARE(error.operation(), operation);
        }
        // Theirs refuses the operation in any case: ours is not ended for nothing.
        QVERIFY(!ours->process().waitForFinished(300));
        QVERIFY(!theirs->process().waitForFinished(10));
    }

    // A loop device or swap holds a file with no process behind it: it is listed by the kernel's
    // name beside the programs, and ending the holders ends the programs only and refuses with the
    // kernel's holder still named.
    void kernelHoldsAreNamedAndNeverEnded_data()
    {
        QTest::addColumn<test::KernelHeldFile::Kind>("kind");
        for (const auto kind : {test::KernelHeldFile::Kind::loopDevice, test::KernelHeldFile::Kind::swap})
            QTest::newRow(test::kernelHoldName(kind)) << kind;
    }
    void kernelHoldsAreNamedAndNeverEnded()
    {
        QFETCH(test::KernelHeldFile::Kind, kind);
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString image = tree.fileOfSize("data/container.img", 1024 * 1024);
        test::KernelHeldFile held(image, kind);
        SKIP_WITHOUT(held);
        const auto program = hold(tree.path("data"));
        const ActiveProcessService service(kQuick);
        QStringList both{held.holderName(), "sleep"};
        both.sort();
        QCOMPARE(service.activeProcessNames(tree.path("data")), both);
        QCOMPARE(service.activeProcessNames(image), QStringList{held.holderName()});
        try {
            service.clearHolders(tree.path("data"), true, false, "/shown", OrvalinkError::Operation::undo);
            QFAIL("expected E007");
        } catch (const OrvalinkError& error) {
            QCOMPARE(error.processes(), both);
        }

        try {
            service.clearHolders(tree.path("data"), true, true, "/shown", OrvalinkError::Operation::undo);
            QFAIL("expected E007");
        } catch (const OrvalinkError& error) {
            QCOMPARE(error.code(), QStringLiteral("E007"));
            QCOMPARE(error.processes(), both);
        }
        // The kernel's hold refuses in any case: the program is not ended for nothing.
        QVERIFY(!program->process().waitForFinished(300));

        // Without it, the program is ended.
        QVERIFY(held.release());
        QCOMPARE(service.clearHolders(tree.path("data"), true, true, "/shown"), QStringList{"sleep"});
        QVERIFY(program->process().waitForFinished(5000));
    }

    void recordsCompareByPidAndName()
    {
        const ActiveProcess a{10, "x", 1, {}};
        QVERIFY(a == (ActiveProcess{10, "x", 2, "postgres"}));
        QVERIFY(!(a == ActiveProcess{10, "y", 1, {}}));
        QCOMPARE(qHash(a), qHash(ActiveProcess{10, "x", 99, {}}));
    }
};

QTEST_GUILESS_MAIN(ActiveProcessesTest)
#include "tst_activeprocesses.moc"
