#include "platform/FileLock.h"
#include "platform/PrivateRuntimeDirectory.h"
#include "support/TestHome.h"
#include "support/TmpfsMount.h"
#include "ui/shell/ApplicationShell.h"
#include "ui/shell/LockObstacle.h"
#include "ui/shell/SingleInstance.h"

#include <QLocalSocket>
#include <QMessageBox>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

using orvalink::ui::SingleInstance;
namespace platform = orvalink::platform;

namespace {

// Generous: a start under the sanitizers on a busy machine takes a while.
constexpr int kWaitMs = 15000;
// How long a start waits for a holder that does not answer.
constexpr int kShortClaimMs = 2000;

// One start of the program, as a real process.
class Start {
public:
    explicit Start(const QString& folder, int timeoutMs = 5000)
    {
        m_process.setProgram(QStringLiteral(ORVALINK_SINGLEINSTANCE_HELPER));
        m_process.setArguments({folder, QString::number(timeoutMs)});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
    }
    ~Start()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    QStringList lines()
    {
        m_output += m_process.readAllStandardOutput();
        return QString::fromUtf8(m_output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QString firstLine()
    {
        const QStringList all = lines();
        return all.isEmpty() ? QString() : all.first();
    }
    int count(const QString& line) { return int(lines().count(line)); }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    QByteArray m_output;
};

void setModificationTime(const QString& path, qint64 secondsAgo)
{
    struct timeval now;
    gettimeofday(&now, nullptr);
    struct timeval times[2] = {now, now};
    times[0].tv_sec -= secondsAgo;
    times[1].tv_sec -= secondsAgo;
    QCOMPARE(::utimes(QFile::encodeName(path).constData(), times), 0);
}

// The peak resident memory of process `pid`, in kibibytes.
qint64 peakMemoryKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// A lock file that holds `content`, as a crash, a restored backup or another machine left it.
void plantLockFile(const QString& folder, const QByteArray& content)
{
    QVERIFY(QDir().mkpath(folder));
    QFile file(SingleInstance::lockFilePath(folder));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

    // Sockets of the tests' instances go here, not into the real runtime folder.
    QTemporaryDir m_runtime;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        QVERIFY(platform::isPrivateDirectory(m_runtime.path()));
    }

    void secondStartRaisesTheFirstAndLeaves()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("support"));
        Start first(folder);
        QTRY_COMPARE_WITH_TIMEOUT(first.firstLine(), QStringLiteral("primary"), kWaitMs);
        QVERIFY(QFile::exists(SingleInstance::lockFilePath(folder)));

        Start second(folder);
        QVERIFY(second.process().waitForFinished(kWaitMs));
        QCOMPARE(second.process().exitCode(), 0);
        QCOMPARE(second.lines(), QStringList{QStringLiteral("raised-other")});
        QTRY_COMPARE_WITH_TIMEOUT(first.count(QStringLiteral("raise-requested")), 1, kWaitMs);
        QCOMPARE(first.process().state(), QProcess::Running);
    }

    void aCrashedInstanceDoesNotBlockTheNextStart()
    {
        QTemporaryDir dir;
        {
            Start crashed(dir.path());
            QTRY_COMPARE_WITH_TIMEOUT(crashed.firstLine(), QStringLiteral("primary"), kWaitMs);
            crashed.process().kill();
            QVERIFY(crashed.process().waitForFinished());
        }
        // Its lock file and socket are left behind.
        QVERIFY(QFile::exists(SingleInstance::lockFilePath(dir.path())));
        Start next(dir.path());
        QTRY_COMPARE_WITH_TIMEOUT(next.firstLine(), QStringLiteral("primary"), kWaitMs);
        Start after(dir.path());
        QVERIFY(after.process().waitForFinished(kWaitMs));
        QCOMPARE(after.firstLine(), QStringLiteral("raised-other"));
    }

    void aLongRunningInstanceKeepsItsLock()
    {
        QTemporaryDir dir;
        Start first(dir.path());
        QTRY_COMPARE_WITH_TIMEOUT(first.firstLine(), QStringLiteral("primary"), kWaitMs);
        // An instance that has run for a day holds an old lock file; it still holds it.
        setModificationTime(SingleInstance::lockFilePath(dir.path()), 24 * 3600);
        Start second(dir.path());
        QVERIFY(second.process().waitForFinished(kWaitMs));
        QCOMPARE(second.firstLine(), QStringLiteral("raised-other"));
        QTRY_COMPARE_WITH_TIMEOUT(first.count(QStringLiteral("raise-requested")), 1, kWaitMs);
    }

    void simultaneousStartsElectOneInstance()
    {
        QTemporaryDir dir;
        constexpr int kStarts = 5;
        std::vector<std::unique_ptr<Start>> starts;
        for (int i = 0; i < kStarts; ++i)
            starts.push_back(std::make_unique<Start>(dir.path()));
        Start* primary = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(starts.begin(), starts.end(),
                                             [](const auto& start) { return !start->firstLine().isEmpty(); }),
                                 kWaitMs);
        int primaries = 0;
        for (const auto& start : starts) {
            if (start->firstLine() == QStringLiteral("primary")) {
                ++primaries;
                primary = start.get();
            } else {
                QCOMPARE(start->firstLine(), QStringLiteral("raised-other"));
            }
        }
        QCOMPARE(primaries, 1);
        QTRY_COMPARE_WITH_TIMEOUT(primary->count(QStringLiteral("raise-requested")), kStarts - 1, kWaitMs);
    }

    void aHolderThatDoesNotAnswerIsReported()
    {
        QTemporaryDir dir;
        // This test process holds the lock and does not listen.
        const platform::UniqueFd lock = platform::lockFile(SingleInstance::lockFilePath(dir.path()), false);
        QVERIFY(lock.isValid());
        Start start(dir.path(), kShortClaimMs);
        QVERIFY(start.process().waitForFinished(kWaitMs));
        QCOMPARE(start.process().exitCode(), 1);
        QCOMPARE(start.firstLine(), QStringLiteral("no-answer"));
    }

    // The lock lives beside the socket, out of other users' reach, and what stands at the old
    // place in the support folder is no concern of a start.
    void theLockIsInThePrivateFolder()
    {
        QTemporaryDir dir;
        const QString lock = SingleInstance::lockFilePath(dir.path());
        QCOMPARE(QFileInfo(lock).path(), QFileInfo(SingleInstance::socketName(dir.path())).path());
        QVERIFY(lock.startsWith(m_runtime.path() + QLatin1Char('/')));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("instance.lock"))).constData(), 0600),
                 0);
        Start first(dir.path());
        QTRY_COMPARE_WITH_TIMEOUT(first.firstLine(), QStringLiteral("primary"), kWaitMs);
        // Something that is no lock file at the lock's path is named, not waited on.
        QTemporaryDir other;
        const QString squatted = SingleInstance::lockFilePath(other.path());
        QCOMPARE(::mkfifo(QFile::encodeName(squatted).constData(), 0600), 0);
        Start blocked(other.path());
        QVERIFY(blocked.process().waitForFinished(kWaitMs));
        QVERIFY2(blocked.firstLine().startsWith(QStringLiteral("blocked ")) &&
                     blocked.firstLine().contains(squatted),
                 qPrintable(blocked.firstLine()));
        QVERIFY(QFile::remove(squatted));
    }

    void aDeepFolderStillGetsASocket()
    {
        QTemporaryDir dir;
        const QString deep = dir.filePath(QString(120, QLatin1Char('d')));
        QVERIFY(SingleInstance::socketName(deep).startsWith(m_runtime.path() + QLatin1Char('/')));
        QCOMPARE(SingleInstance::socketName(deep), SingleInstance::socketName(deep));
        QVERIFY(SingleInstance::socketName(deep) != SingleInstance::socketName(deep + QLatin1Char('x')));
        Start first(deep);
        QTRY_COMPARE_WITH_TIMEOUT(first.firstLine(), QStringLiteral("primary"), kWaitMs);
        Start second(deep);
        QVERIFY(second.process().waitForFinished(kWaitMs));
        QCOMPARE(second.firstLine(), QStringLiteral("raised-other"));
    }

    // A lock file left behind is free whatever it holds: only a live holder keeps the lock.
    void leftLockFilesAreTaken_data()
    {
        QTest::addColumn<QByteArray>("content");
        const QByteArray host = QSysInfo::machineHostName().toUtf8();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbled") << QByteArray::fromHex("00fffe2067617262616765010a0a");
        QTest::newRow("no process id") << QByteArray("orvalink\n" + host + "\n");
        QTest::newRow("another machine, its process gone") << QByteArray("4242\norvalink\nanother-machine\n");
        QTest::newRow("another machine with the same name")
            << QByteArray("1\norvalink\n" + host + "\n0123456789abcdef0123456789abcdef\n\n");
        QTest::newRow("an earlier boot of this machine")
            << QByteArray("1\norvalink\n" + host + "\n" + QSysInfo::machineUniqueId() + "\nearlier-boot\n");
    }

    void leftLockFilesAreTaken()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        plantLockFile(dir.path(), content);
        Start start(dir.path());
        QTRY_COMPARE_WITH_TIMEOUT(start.firstLine(), QStringLiteral("primary"), kWaitMs);
        QCOMPARE(start.lines(), QStringList{QStringLiteral("primary")});
        // The lock is its own now, and it answers the next start.
        QVERIFY(!platform::lockFile(SingleInstance::lockFilePath(dir.path()), false).isValid());
        Start second(dir.path());
        QVERIFY(second.process().waitForFinished(kWaitMs));
        QCOMPARE(second.firstLine(), QStringLiteral("raised-other"));
    }

    // A garbled lock file that a live process holds is neither taken over nor written to.
    void aHeldGarbledLockIsKept()
    {
        QTemporaryDir dir;
        plantLockFile(dir.path(), "garbage");
        const int fd =
            ::open(QFile::encodeName(SingleInstance::lockFilePath(dir.path())).constData(), O_RDWR);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        Start start(dir.path(), kShortClaimMs);
        QVERIFY(start.process().waitForFinished(kWaitMs));
        ::close(fd);
        QCOMPARE(start.firstLine(), QStringLiteral("no-answer"));
        QFile lockFile(SingleInstance::lockFilePath(dir.path()));
        QVERIFY(lockFile.open(QIODevice::ReadOnly));
        QCOMPARE(lockFile.readAll(), QByteArray("garbage"));
    }

    // Failing to listen never gives the lock up: a second start stays out instead of running too.
    void aSquattedSocketKeepsTheLock_data()
    {
        QTest::addColumn<bool>("directory");
        QTest::newRow("a folder in its place") << true;
        QTest::newRow("a file in its place") << false;
    }

    void aSquattedSocketKeepsTheLock()
    {
        QFETCH(bool, directory);
        QTemporaryDir dir;
        const QString socket = SingleInstance::socketName(dir.path());
        QVERIFY(!socket.isEmpty());
        if (directory) {
            QVERIFY(QDir().mkpath(socket + QStringLiteral("/inside")));
        } else {
            QFile squatter(socket);
            QVERIFY(squatter.open(QIODevice::WriteOnly));
            squatter.write("someone else's");
        }
        Start first(dir.path());
        QTRY_COMPARE_WITH_TIMEOUT(first.lines(),
                                  (QStringList{QStringLiteral("primary"), QStringLiteral("not-listening")}),
                                  kWaitMs);
        QVERIFY(QFileInfo(socket).isDir() == directory && QFileInfo::exists(socket));
        Start second(dir.path(), kShortClaimMs);
        QVERIFY(second.process().waitForFinished(kWaitMs));
        QCOMPARE(second.firstLine(), QStringLiteral("no-answer"));
        QCOMPARE(first.process().state(), QProcess::Running);
        if (directory)
            QVERIFY(QDir().rmpath(socket + QStringLiteral("/inside")));
        else
            QVERIFY(QFile::remove(socket));
    }

    // A connection that never sends a line is cut off after a few bytes, not buffered.
    void anEndlessRequestIsCutOff()
    {
        QTemporaryDir dir;
        Start first(dir.path());
        QTRY_COMPARE_WITH_TIMEOUT(first.firstLine(), QStringLiteral("primary"), kWaitMs);
        const qint64 peakBefore = peakMemoryKiB(first.process().processId());
        QVERIFY(peakBefore > 0);

        QLocalSocket flood;
        flood.connectToServer(SingleInstance::socketName(dir.path()));
        QVERIFY(flood.waitForConnected(kWaitMs));
        constexpr qint64 kFloodBytes = qint64(64) << 20;
        flood.write(QByteArray(kFloodBytes, 'x'));
        QTRY_COMPARE_WITH_TIMEOUT(flood.state(), QLocalSocket::UnconnectedState, kWaitMs);
        const qint64 peakAfter = peakMemoryKiB(first.process().processId());
        QVERIFY2(peakAfter - peakBefore < 8 * 1024,
                 qPrintable(QStringLiteral("%1 KiB more").arg(peakAfter - peakBefore)));
        QCOMPARE(first.count(QStringLiteral("raise-requested")), 0);

        Start second(dir.path());
        QVERIFY(second.process().waitForFinished(kWaitMs));
        QCOMPARE(second.firstLine(), QStringLiteral("raised-other"));
    }

    // Only a folder that no other user can enter holds the socket.
    void theSocketFolderIsPrivate_data()
    {
        // $XDG_RUNTIME_DIR: "private", "deep" (private, but too deep for a socket), "open", "link"
        // or "unset"; what stands at <tmp>/orvalink-<uid>: "none", "open", "link", "other user";
        // the folder expected: "runtime", "fallback" or "none".
        QTest::addColumn<QString>("runtimeMode");
        QTest::addColumn<QString>("fallback");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* runtime, const char* fallback,
                            const char* expected) {
            QTest::newRow(name) << QString::fromLatin1(runtime) << QString::fromLatin1(fallback)
                                << QString::fromLatin1(expected);
        };
        row("runtime folder", "private", "none", "runtime");
        row("runtime folder too deep for a socket", "deep", "none", "fallback");
        row("runtime folder open to others", "open", "none", "fallback");
        row("runtime folder is a link", "link", "none", "fallback");
        row("no runtime folder", "unset", "none", "fallback");
        row("fallback open to others", "unset", "open", "none");
        row("fallback is a link", "unset", "link", "none");
        row("fallback of another user", "unset", "other user", "none");
    }

    void theSocketFolderIsPrivate()
    {
        QFETCH(QString, runtimeMode);
        QFETCH(QString, fallback);
        QFETCH(QString, expected);
        if (fallback == QLatin1String("other user") && ::geteuid() != 0)
            QSKIP("only root can give a folder to another user");
        QTemporaryDir base;
        const QString runtime =
            base.filePath(runtimeMode == QLatin1String("deep") ? QString(100, QLatin1Char('r'))
                                                               : QStringLiteral("runtime"));
        const QString tmp = base.filePath(QStringLiteral("tmp"));
        const QString elsewhere = base.filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(tmp) && QDir().mkpath(elsewhere));
        QVERIFY(::chmod(QFile::encodeName(elsewhere).constData(), 0700) == 0);
        if (runtimeMode == QLatin1String("link")) {
            QVERIFY(QFile::link(elsewhere, runtime));
        } else if (runtimeMode != QLatin1String("unset")) {
            QVERIFY(QDir().mkpath(runtime));
            QVERIFY(::chmod(QFile::encodeName(runtime).constData(),
                            runtimeMode == QLatin1String("open") ? 0755 : 0700) == 0);
        }
        const QString own = tmp + QStringLiteral("/orvalink-%1").arg(::geteuid());
        if (fallback == QLatin1String("link")) {
            QVERIFY(QFile::link(elsewhere, own));
        } else if (fallback != QLatin1String("none")) {
            QVERIFY(QDir().mkpath(own));
            QVERIFY(::chmod(QFile::encodeName(own).constData(),
                            fallback == QLatin1String("open") ? 0777 : 0700) == 0);
            if (fallback == QLatin1String("other user"))
                QVERIFY(::chown(QFile::encodeName(own).constData(), 65534, 65534) == 0);
        }

        const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray savedTmp = qgetenv("TMPDIR");
        if (runtimeMode == QLatin1String("unset"))
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        qputenv("TMPDIR", QFile::encodeName(tmp));
        const std::optional<QString> folder = runtimeMode == QLatin1String("deep")
                                                  ? platform::privateTemporaryDirectory()
                                                  : platform::privateRuntimeDirectory();
        const QString socket = SingleInstance::socketName(QStringLiteral("/some/support"));
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        if (savedTmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", savedTmp);

        if (expected == QLatin1String("none")) {
            QCOMPARE(folder, std::nullopt);
            QCOMPARE(socket, QString());
            return;
        }
        const QString wanted = expected == QLatin1String("runtime") ? runtime : own;
        QCOMPARE(folder, std::optional<QString>(wanted));
        QVERIFY(socket.startsWith(wanted + QLatin1Char('/')));
        QVERIFY(platform::isPrivateDirectory(wanted));
        QVERIFY(QDir(elsewhere).isEmpty());
    }

    // A private runtime folder on a read-only file system gives way to the private temporary
    // folder, as one too deep for a socket does; when no folder is left that can take the lock, the
    // start says so, and names nothing to remove.
    void aReadOnlyRuntimeFolderGivesWay()
    {
        orvalink::test::TestHome home;
        const QString runtime = home.path(QStringLiteral("read-only"));
        orvalink::test::TmpfsMount readOnly(runtime, 1 << 20, "mode=0700,ro");
        if (!readOnly.isValid())
            QSKIP(qPrintable(readOnly.skipReason()));
        QVERIFY(platform::isPrivateDirectory(runtime));
        QVERIFY(!platform::isUsablePrivateDirectory(runtime));
        // Short, so that a socket fits below it from any build folder.
        const QTemporaryDir shortTmp(QStringLiteral("/tmp/ovsi-XXXXXX"));
        QVERIFY(shortTmp.isValid());
        const QString tmp = shortTmp.path();
        home.setEnv("XDG_RUNTIME_DIR", runtime);
        home.setEnv("TMPDIR", tmp);

        QTemporaryDir dir;
        const QString own = tmp + QStringLiteral("/orvalink-%1/").arg(::geteuid());
        QVERIFY2(SingleInstance::lockFilePath(dir.path()).startsWith(own),
                 qPrintable(SingleInstance::lockFilePath(dir.path())));
        Start first(dir.path());
        QTRY_COMPARE_WITH_TIMEOUT(first.lines(), QStringList{QStringLiteral("primary")}, kWaitMs);
        Start second(dir.path());
        QVERIFY(second.process().waitForFinished(kWaitMs));
        QCOMPARE(second.firstLine(), QStringLiteral("raised-other"));

        // Nothing left: the temporary folder and the support folder are read-only too.
        home.setEnv("TMPDIR", runtime);
        QCOMPARE(SingleInstance::socketName(runtime), QString());
        const QString lock = SingleInstance::lockFilePath(runtime);
        QCOMPARE(lock, runtime + QStringLiteral("/instance.lock"));
        Start stuck(runtime);
        QVERIFY(stuck.process().waitForFinished(kWaitMs));
        QCOMPARE(stuck.process().exitCode(), 1);
        QCOMPARE(stuck.firstLine(), QStringLiteral("no-lock-file Read-only file system: ") + lock);
    }

    // What the start says then, in both languages: where the lock cannot be made, and why.
    void theNoLockFileNoticeSaysWhy()
    {
        const QString lock = QStringLiteral("/run/user/1000/support/instance.lock");
        QPointer<QMessageBox> notice =
            orvalink::ui::openNoLockFileNotice(lock, QStringLiteral("Read-only file system: ") + lock);
        QVERIFY(notice && notice->isVisible());
        QCOMPARE(notice->textFormat(), Qt::PlainText);
        const QString details = notice->informativeText();
        for (const QString& part : {lock, QStringLiteral("Read-only file system"),
                                    QStringLiteral("cannot be created"), QStringLiteral("无法在")})
            QVERIFY2(details.contains(part), qPrintable(part));
        QVERIFY(!details.contains(QStringLiteral("rm ")));
        QVERIFY(notice->text().contains(QStringLiteral("did not start")));
        notice->close();
        QTRY_VERIFY(notice.isNull());
    }

    // A desktop start has no terminal: an instance that does not answer is reported in a window.
    void theNoAnswerNoticeIsShown()
    {
        QPointer<QMessageBox> notice = orvalink::ui::openNotAnsweringNotice();
        QVERIFY(notice);
        QVERIFY(notice->isVisible());
        QCOMPARE(notice->textFormat(), Qt::PlainText);
        QVERIFY(notice->text().contains(QStringLiteral("does not respond")));
        QVERIFY(notice->text().contains(QStringLiteral("没有响应")));
        notice->close();
        QTRY_VERIFY(notice.isNull());
    }

    // What stands in the lock's way is named in both languages: the path, what it is, its owner
    // and the command that removes it.
    void theObstacleNoticeSaysWhatToRemove()
    {
        QTemporaryDir dir;
        const QString squatted = dir.filePath(QStringLiteral("it's.lock"));
        QCOMPARE(::mkfifo(QFile::encodeName(squatted).constData(), 0600), 0);
        const orvalink::ui::LockObstacle obstacle = orvalink::ui::LockObstacle::at(squatted);
        QCOMPARE(obstacle.removal,
                 QStringLiteral("rm -- '") + dir.path() + QStringLiteral("/it'\\''s.lock'"));
        QPointer<QMessageBox> notice = orvalink::ui::openLockObstacleNotice(obstacle);
        QVERIFY(notice && notice->isVisible());
        const QString details = notice->informativeText();
        for (const QString& part :
             {squatted, obstacle.removal, obstacle.owner, QStringLiteral("a named pipe (FIFO)"),
              QStringLiteral("命名管道（FIFO）")})
            QVERIFY2(details.contains(part), qPrintable(part));
        QVERIFY(notice->text().contains(QStringLiteral("did not start")));
        notice->close();
        QTRY_VERIFY(notice.isNull());
    }

    void theFolderIsPrivate()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("new/support"));
        Start first(folder);
        QTRY_COMPARE_WITH_TIMEOUT(first.firstLine(), QStringLiteral("primary"), kWaitMs);
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
