#include "platform/CommandRunner.h"
#include "platform/PlatformError.h"

#include <QtTest>
#include <cerrno>

using namespace orvalink::platform;

class CommandRunnerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void reportsStatusAndBothStreams()
    {
        ProcessCommandRunner shell("/bin/sh", {"-c"});
        const CommandOutcome ok = shell.run("printf out; printf err >&2");
        QCOMPARE(ok.exitStatus, 0);
        QVERIFY(!ok.crashed);
        QCOMPARE(ok.standardOutput, QByteArray("out"));
        QCOMPARE(ok.standardError, QByteArray("err"));

        QCOMPARE(shell.run("exit 126").exitStatus, 126);
        // Nothing is ever written to the command: it sees end of input at once.
        QCOMPARE(shell.run("cat; echo done").standardOutput, QByteArray("done\n"));
    }

    void aCommandKilledBySignalIsNoSuccess()
    {
        ProcessCommandRunner shell("/bin/sh", {"-c"});
        const CommandOutcome killed = shell.run("kill -KILL $$");
        QVERIFY(killed.crashed);
        QVERIFY(killed.exitStatus != 0);
    }

    void aMissingProgramCannotStart()
    {
        ProcessCommandRunner missing("/nonexistent/pkexec", {"/bin/sh", "-c"});
        try {
            missing.run("true");
            QFAIL("expected a launch error");
        } catch (const PlatformError& error) {
            QCOMPARE(error.errorNumber(), ENOENT);
            QVERIFY(error.message().contains("/nonexistent/pkexec"));
        }
    }
};

QTEST_GUILESS_MAIN(CommandRunnerTest)
#include "tst_commandrunner.moc"
