#include "diskops/PrivilegeFallback.h"
#include "diskops/PrivilegedFileOperationError.h"
#include "diskops/PrivilegedFileOperationService.h"
#include "model/OrvalinkError.h"
#include "platform/PlatformError.h"
#include "support/CurrentDirectory.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QTest>
#include <cerrno>
#include <unistd.h>

using namespace orvalink;
using Service = PrivilegedFileOperationService;

namespace {

// Keeps the commands instead of running them.
class RecordingRunner : public platform::CommandRunner {
public:
    platform::CommandOutcome run(const QString& command) override
    {
        commands.append(command);
        return {};
    }
    QStringList commands;
};

// Runs the very command texts with a plain, unprivileged shell: what pkexec would run, minus the
// dialog and the rights.
std::shared_ptr<platform::CommandRunner> plainShell()
{
    return std::make_shared<platform::ProcessCommandRunner>("/bin/sh", QStringList{"-c"});
}

QString failureMessage(const QString& command)
{
    try {
        Service(plainShell()).runPrivileged(command);
        return QStringLiteral("no error");
    } catch (const PrivilegedFileOperationError& error) {
        return error.errorDescription();
    }
}

// The link's own text, unresolved.
QString rawLinkText(const QString& path)
{
    char buffer[4096];
    const ssize_t length = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer);
    return length < 0 ? QString() : QFile::decodeName(QByteArray(buffer, length));
}

} // namespace

class PrivilegedTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commandTexts()
    {
        const QString odd = QStringLiteral("/Users/it's here");
        QCOMPARE(Service::shellQuoted(odd), QStringLiteral("'/Users/it'\"'\"'s here'"));
        QCOMPARE(Service::removeCommand("/a b"), QStringLiteral("/bin/rm -rf -- '/a b'"));
        QCOMPARE(Service::moveCommand("/from", "/to"), QStringLiteral("/bin/mv -f -- '/from' '/to'"));
        QCOMPARE(Service::createDirectoryCommand("/d"), QStringLiteral("/bin/mkdir -p -- '/d'"));
        // The link command names what the link points to first.
        QCOMPARE(Service::createSymbolicLinkCommand("/link", "/target"),
                 QStringLiteral("/bin/ln -sfn -- '/target' '/link'"));

        auto recorder = std::make_shared<RecordingRunner>();
        const Service service(recorder);
        service.removeItem(odd);
        service.moveItem("/from", odd);
        service.createDirectory(odd);
        service.createSymbolicLink("/link", odd);
        QCOMPARE(recorder->commands,
                 QStringList({Service::removeCommand(odd), Service::moveCommand("/from", odd),
                              Service::createDirectoryCommand(odd),
                              Service::createSymbolicLinkCommand("/link", odd)}));
    }

    void everyPathReachesTheCommandAsOneLiteralWord_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("single quote") << "it's";
        QTest::newRow("only quotes") << "''";
        QTest::newRow("spaces") << "  two  spaces ";
        QTest::newRow("newline") << "line\nbreak";
        QTest::newRow("command substitution") << "$(touch pwned)";
        QTest::newRow("backticks") << "`touch pwned`";
        QTest::newRow("variables and globs") << "$HOME * ? [a]";
        QTest::newRow("double quote and backslash") << "a\"b\\c";
        QTest::newRow("semicolon and ampersand") << "x; touch pwned & y";
        QTest::newRow("leading dash") << "-rf";
        QTest::newRow("double dash") << "--";
        QTest::newRow("unicode") << QStringLiteral("caf\u00e9 \u6587\u4ef6");
    }
    void everyPathReachesTheCommandAsOneLiteralWord()
    {
        QFETCH(QString, name);
        test::TestHome home;
        test::TestTree tree(home.path("work"));
        const test::CurrentDirectory here(tree.root());
        const Service service(plainShell());

        // Relative paths, so a leading "-" is the first character the command sees.
        service.createDirectory(name + "/sub/deeper");
        QVERIFY(QFileInfo(tree.path(name + "/sub/deeper")).isDir());
        service.moveItem(name + "/sub", name + "/moved");
        QVERIFY(!QFileInfo::exists(tree.path(name + "/sub")));
        QVERIFY(QFileInfo(tree.path(name + "/moved/deeper")).isDir());

        service.createSymbolicLink(name + "/link", name + "/moved");
        QCOMPARE(rawLinkText(tree.path(name + "/link")), name + "/moved");
        // "-sfn" replaces an existing link instead of descending into the directory it points to.
        service.createSymbolicLink(name + "/link", name + "/other");
        QVERIFY(QFileInfo(tree.path(name + "/link")).isSymLink());
        QCOMPARE(rawLinkText(tree.path(name + "/link")), name + "/other");
        QVERIFY(!QFileInfo::exists(tree.path(name + "/moved/other")));

        service.removeItem(name);
        QVERIFY(!QFileInfo::exists(tree.path(name)));
        QCOMPARE(QDir(tree.root()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
        QVERIFY(!QFileInfo::exists(home.home() + "/pwned"));
    }

    void failureMessages_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("expected");
        QTest::newRow("success ignores output") << "echo fine; echo noise >&2"
                                                << "no error";
        QTest::newRow("standard error first") << "echo out; printf '  refused \\n' >&2; exit 127"
                                              << "refused";
        QTest::newRow("standard output next") << "echo '  only output '; exit 1"
                                              << "only output";
        QTest::newRow("not UTF-8 counts as absent") << "printf '\\377\\376' >&2; echo fallback; exit 1"
                                                    << "fallback";
        QTest::newRow("dismissed, silent") << "exit 126"
                                           << "Administrator authorization failed.";
        QTest::newRow("white space only") << "printf ' \\n\\t'; printf '\\n ' >&2; exit 127"
                                          << "Administrator authorization failed.";
        QTest::newRow("killed") << "kill -KILL $$"
                                << "Administrator authorization failed.";
        // Nothing is ever written to the command: a reader sees the end of its input at once.
        QTest::newRow("input is closed") << "cat; echo after input >&2; exit 1"
                                         << "after input";
    }
    void failureMessages()
    {
        QFETCH(QString, command);
        QFETCH(QString, expected);
        QCOMPARE(failureMessage(command), expected);
    }

    void aRunnerThatCannotStartThrowsItsLaunchError()
    {
        const Service service(
            std::make_shared<platform::ProcessCommandRunner>("/nonexistent/pkexec", QStringList()));
        try {
            service.removeItem("/x");
            QFAIL("expected a launch error");
        } catch (const platform::PlatformError& error) {
            QCOMPARE(error.errorNumber(), ENOENT);
        }
    }

    void firstNonEmpty()
    {
        QCOMPARE(Service::firstNonEmpty({std::nullopt, QString(""), QString("a"), QString("b")}),
                 QString("a"));
        QCOMPARE(Service::firstNonEmpty({std::nullopt, QString()}), std::nullopt);
        QCOMPARE(Service::firstNonEmpty({}), std::nullopt);
    }

    void onlyPermissionErrorsEarnTheSecondAttempt_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("wrappedError"); // 0: none
        QTest::addColumn<int>("wrappedTwice"); // 0: none
        QTest::addColumn<bool>("fallback");
        QTest::newRow("EACCES") << EACCES << 0 << 0 << true;
        QTest::newRow("EPERM") << EPERM << 0 << 0 << true;
        QTest::newRow("EPERM one level down") << EIO << EPERM << 0 << true;
        QTest::newRow("EPERM two levels down") << EIO << EIO << EPERM << false;
        QTest::newRow("EEXIST") << EEXIST << 0 << 0 << false;
        QTest::newRow("EBUSY") << EBUSY << 0 << 0 << false;
    }
    void onlyPermissionErrorsEarnTheSecondAttempt()
    {
        QFETCH(int, error);
        QFETCH(int, wrappedError);
        QFETCH(int, wrappedTwice);
        QFETCH(bool, fallback);
        auto build = [&] {
            if (!wrappedError)
                return platform::PlatformError::fromErrno(error, "/p");
            platform::PlatformError inner = platform::PlatformError::fromErrno(wrappedError, "/inner");
            if (wrappedTwice)
                inner = platform::PlatformError(wrappedError, "inner",
                                                platform::PlatformError::fromErrno(wrappedTwice, ""));
            return platform::PlatformError(error, "outer", inner);
        };
        int privilegedRuns = 0;
        try {
            runWithPrivilegeFallback([&] { throw build(); }, [&] { ++privilegedRuns; });
            QVERIFY(fallback);
        } catch (const platform::PlatformError& thrown) {
            QVERIFY(!fallback);
            QCOMPARE(thrown.errorNumber(), error); // unchanged
        }
        QCOMPARE(privilegedRuns, fallback ? 1 : 0);
    }

    void theSecondAttemptDecides()
    {
        int userRuns = 0;
        runWithPrivilegeFallback([&] { ++userRuns; }, [] { QFAIL("no second attempt after success"); });
        QCOMPARE(userRuns, 1);

        // Our own errors are no permission errors.
        QVERIFY_THROWS_EXCEPTION(
            OrvalinkError,
            runWithPrivilegeFallback([] { throw OrvalinkError::targetAlreadyExists("/x"); }, [] {}));
        // A failing administrator command replaces the permission error.
        try {
            runWithPrivilegeFallback(
                [] { throw platform::PlatformError::fromErrno(EPERM, "/x"); },
                [] { Service(plainShell()).runPrivileged("echo denied >&2; exit 127"); });
            QFAIL("expected the administrator failure");
        } catch (const PrivilegedFileOperationError& error) {
            QCOMPARE(error.message(), QStringLiteral("denied"));
        }
    }
};

QTEST_GUILESS_MAIN(PrivilegedTest)
#include "tst_privileged.moc"
