#include "ui/shell/SingleInstance.h"

#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <sys/stat.h>
#include <sys/time.h>
#include <vector>

using orvalink::ui::SingleInstance;

namespace {

// Generous: a start under the sanitizers on a busy machine takes a while.
constexpr int kWaitMs = 15000;

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

} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
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
        QLockFile lock(SingleInstance::lockFilePath(dir.path()));
        QVERIFY(lock.tryLock(0));
        Start start(dir.path(), 300);
        QVERIFY(start.process().waitForFinished(kWaitMs));
        QCOMPARE(start.process().exitCode(), 1);
        QCOMPARE(start.firstLine(), QStringLiteral("no-answer"));
    }

    void aDeepFolderStillGetsASocket()
    {
        QTemporaryDir dir;
        const QString deep = dir.filePath(QString(120, QLatin1Char('d')));
        QVERIFY(!SingleInstance::socketName(deep).startsWith(deep));
        QCOMPARE(SingleInstance::socketName(deep), SingleInstance::socketName(deep));
        QVERIFY(SingleInstance::socketName(deep) != SingleInstance::socketName(deep + QLatin1Char('x')));
        Start first(deep);
        QTRY_COMPARE_WITH_TIMEOUT(first.firstLine(), QStringLiteral("primary"), kWaitMs);
        Start second(deep);
        QVERIFY(second.process().waitForFinished(kWaitMs));
        QCOMPARE(second.firstLine(), QStringLiteral("raised-other"));
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
