#include "platform/FileLock.h"
#include "platform/TerminalText.h"
#include "support/TestHome.h"
#include "ui/shell/DesktopHooks.h"
#include "ui/shell/SingleInstance.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace orvalink;

namespace {

// The built program, off screen, on the test's temporary home, telling on stderr when it raises
// its window; `smoke` runs the UI smoke mode, which opens every sheet and exits.
std::unique_ptr<QProcess> startProgram(bool smoke = false)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (smoke)
        env.insert(QStringLiteral("ORVALINK_UI_SMOKE"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("orvalink.shell.window.info=true"));
    // Nothing may reach a real account service.
    env.insert(QStringLiteral("ORVALINK_BACKEND_BASE_URL"), QStringLiteral("http://127.0.0.1:9"));
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(ORVALINK_APP_BINARY), {});
    return process;
}

// Binds a socket at `path` and leaves its file behind, as a process that died would.
bool leaveSocket(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (native.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::copy(native.begin(), native.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound =
        fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}

} // namespace

class AppInstanceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A second start asks the running program to raise its window and exits 0 at once.
    void secondStartRaisesFirst()
    {
        test::TestHome home;
        auto first = startProgram();
        QVERIFY(first->waitForStarted());
        const QString socket = ui::SingleInstance::socketName(home.appSupport());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 30000);

        auto second = startProgram();
        QVERIFY(second->waitForFinished(30000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);

        QByteArray firstLog;
        QTRY_VERIFY_WITH_TIMEOUT((firstLog += first->readAllStandardError())
                                     .contains("raised the window at another start's request"),
                                 10000);
        QCOMPARE(first->state(), QProcess::Running);
        first->terminate();
        QVERIFY(first->waitForFinished(30000));
    }

    // A live holder that does not answer is reported in a window that waits for the user, not only
    // on stderr, which a start from the desktop never shows.
    void aSilentHolderIsReportedInAWindow()
    {
        test::TestHome home;
        QVERIFY(QDir().mkpath(home.appSupport()));
        const platform::UniqueFd lock =
            platform::lockFile(ui::SingleInstance::lockFilePath(home.appSupport()), false);
        QVERIFY(lock.isValid());
        auto start = startProgram();
        QVERIFY(start->waitForStarted());
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += start->readAllStandardError()).contains("did not answer"), 30000);
        QVERIFY(!start->waitForFinished(1000));
        QVERIFY(!log.contains("raised the window"));
        start->kill();
        QVERIFY(start->waitForFinished(30000));
    }

    // Whatever stands where the lock belongs, a start never hangs, never claims that another one
    // runs when none does, and either runs or names the path, what it is and how to remove it.
    void aSquattedLockNeverHangsNorClaimsARun_data()
    {
        QTest::addColumn<QString>("squat");
        for (const char* squat : {"FIFO", "link to /dev/zero", "folder", "dangling link", "socket",
                                  "mode 000 file", "file of another user"})
            QTest::newRow(squat) << QString::fromLatin1(squat);
    }

    void aSquattedLockNeverHangsNorClaimsARun()
    {
        QFETCH(QString, squat);
        test::TestHome home;
        const QString lock = ui::SingleInstance::lockFilePath(home.appSupport());
        const QByteArray native = QFile::encodeName(lock);
        if (squat == QLatin1String("FIFO")) {
            QCOMPARE(::mkfifo(native.constData(), 0600), 0);
        } else if (squat == QLatin1String("link to /dev/zero")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), lock));
        } else if (squat == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(lock + QStringLiteral("/inside")));
        } else if (squat == QLatin1String("dangling link")) {
            QVERIFY(QFile::link(home.path(QStringLiteral("gone")), lock));
        } else if (squat == QLatin1String("socket")) {
            QVERIFY(leaveSocket(lock));
        } else {
            if (squat == QLatin1String("file of another user") && ::geteuid() != 0)
                QSKIP("only root can leave a file of another user in this user's private folder");
            QFile file(lock);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            QCOMPARE(::chmod(native.constData(), squat == QLatin1String("mode 000 file") ? 0 : 0644), 0);
            if (squat == QLatin1String("file of another user"))
                QCOMPARE(::chown(native.constData(), 65534, 65534), 0);
        }

        auto start = startProgram(true);
        QVERIFY(start->waitForStarted());
        QByteArray log;
        const auto named = [&] {
            log += start->readAllStandardError();
            return log.contains(native) && log.contains("Remove it with: ");
        };
        QTRY_VERIFY2_WITH_TIMEOUT(start->state() == QProcess::NotRunning || named(), log.constData(), 20000);
        log += start->readAllStandardError();
        QVERIFY2(!log.contains("already running"), log.constData());
        if (start->state() == QProcess::NotRunning) {
            QCOMPARE(start->exitStatus(), QProcess::NormalExit);
            QVERIFY2(start->exitCode() == 0 || named(), log.constData());
        } else {
            // The notice waits for the user; the command it gives removes the obstacle.
            QVERIFY2(log.contains(squat == QLatin1String("folder") ? "rm -r -- '" : "rm -- '"),
                     log.constData());
            start->kill();
            QVERIFY(start->waitForFinished(30000));
        }
    }

    // A folder whose name holds escape sequences (set the title, clear the screen) reaches the
    // terminal spelled out, and the command the notice gives still removes exactly what stands in
    // the lock's way.
    void theLockNoticeReachesTheTerminalEscaped()
    {
        test::TestHome home;
        QTemporaryDir shortRoot; // a socket address is short
        const QString runtime = shortRoot.filePath(QStringLiteral("run\x1b]0;owned\x07\x1b[2J"));
        QVERIFY(QDir().mkpath(runtime));
        QCOMPARE(::chmod(QFile::encodeName(runtime).constData(), 0700), 0);
        home.setEnv("XDG_RUNTIME_DIR", runtime);
        const QString lock = ui::SingleInstance::lockFilePath(home.appSupport());
        QVERIFY2(lock.startsWith(runtime + QLatin1Char('/')), qPrintable(lock));
        QCOMPARE(::mkfifo(QFile::encodeName(lock).constData(), 0600), 0);

        auto start = startProgram(true);
        QVERIFY(start->waitForStarted());
        QByteArray log;
        const QByteArray marker = "Remove it with: ";
        const auto lineEnded = [&] {
            log += start->readAllStandardError();
            const qsizetype at = log.indexOf(marker);
            return at >= 0 && log.indexOf('\n', at) > at;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(lineEnded(), log.constData(), 20000);
        start->kill();
        QVERIFY(start->waitForFinished(30000));
        const qsizetype from = log.lastIndexOf('\n', log.indexOf(marker)) + 1;
        const QByteArray line = log.mid(from, log.indexOf('\n', from) - from);
        QVERIFY2(!line.contains('\x1b') && !line.contains('\x07'), line.toHex(' ').constData());
        QVERIFY2(line.contains(platform::terminalSafe(lock).toUtf8()), line.constData());
        const QByteArray command = line.mid(line.indexOf(marker) + marker.size());
        QVERIFY2(command.startsWith("rm -- $'"), command.constData());
        QCOMPARE(QProcess::execute(QStringLiteral("/bin/bash"),
                                   {QStringLiteral("-c"), QString::fromUtf8(command)}),
                 0);
        QVERIFY(!QFileInfo::exists(lock));
        QVERIFY(QFileInfo(runtime).isDir());
    }

    // The file manager is asked through one D-Bus call whose string literal no path can break out of.
    void revealArguments_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("items");
        QTest::newRow("plain") << "/home/u/Movies"
                               << "['file:///home/u/Movies']";
        QTest::newRow("space and quote") << "/home/u/Bob's Files"
                                         << "['file:///home/u/Bob%27s%20Files']";
        QTest::newRow("backslash") << "/home/u/a\\b"
                                   << "['file:///home/u/a%5Cb']";
        QTest::newRow("chinese") << "/home/u/文档"
                                 << "['file:///home/u/%E6%96%87%E6%A1%A3']";
    }

    void revealArguments()
    {
        QFETCH(QString, path);
        QFETCH(QString, items);
        const QStringList args = ui::DesktopHooks::showItemsArguments(path);
        QCOMPARE(args.mid(args.indexOf("--method") + 1, 3),
                 (QStringList{"org.freedesktop.FileManager1.ShowItems", items, "''"}));
    }

    // Neither a file manager service (no gdbus to ask it) nor a desktop to open the folder: the
    // reveal reports that nothing showed the item.
    void aRevealNothingCanShowReportsFailure()
    {
        QTemporaryDir emptyPath;
        QVERIFY(emptyPath.isValid());
        const QByteArray path = qgetenv("PATH");
        const auto restore = qScopeGuard([path] { qputenv("PATH", path); });
        qputenv("PATH", emptyPath.path().toLocal8Bit());
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));

        const PlatformHooks hooks = ui::DesktopHooks().platformHooks();
        int failures = 0;
        hooks.fileRevealer->reveal(emptyPath.path(), [&failures] { ++failures; });
        QTRY_COMPARE(failures, 1);
    }

    // The folder panel opens where it is asked to, and a cancel answers none.
    void theFolderPanelOpensAtTheGivenFolder()
    {
        QTemporaryDir start;
        QVERIFY(start.isValid());
        ui::DesktopHooks desktop;
        QWidget window;
        window.setAttribute(Qt::WA_DontShowOnScreen);
        window.show();
        desktop.setWindow(&window);
        const PlatformHooks hooks = desktop.platformHooks();
        std::optional<std::optional<QString>> chosen;
        QCoro::connect(hooks.folderChooser->chooseFolder("Select", "Choose", start.path()), &window,
                       [&chosen](std::optional<QString> answer) { chosen = answer; });
        QFileDialog* panel = nullptr;
        QTRY_VERIFY((panel = window.findChild<QFileDialog*>(QStringLiteral("folderPanel"))));
        QCOMPARE(panel->directory().absolutePath(), QDir(start.path()).absolutePath());
        panel->reject();
        QTRY_VERIFY(chosen.has_value());
        QVERIFY(!chosen->has_value());
    }
};

QTEST_MAIN(AppInstanceTest)
#include "tst_appinstance.moc"
