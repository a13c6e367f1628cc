#include "model/JsonFields.h"
#include "store/LogService.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QTest>
#include <thread>

using namespace orvalink;

namespace {

QByteArray entryLine(int index)
{
    const LogEntry entry{QUuid::createUuid(), LogLevel::info, QStringLiteral("entry %1").arg(index),
                         QDateTime::fromSecsSinceEpoch(1700000000 + index, Qt::UTC)};
    return json::compact(entry.toJson()) + '\n';
}

QByteArray entries(int first, int last)
{
    QByteArray text;
    for (int i = first; i <= last; ++i)
        text += entryLine(i);
    return text;
}

QStringList messages(const QList<LogEntry>& list)
{
    QStringList result;
    for (const LogEntry& entry : list)
        result.append(entry.message);
    return result;
}

QStringList expectedMessages(int first, int last)
{
    QStringList result;
    for (int i = first; i <= last; ++i)
        result.append(QStringLiteral("entry %1").arg(i));
    return result;
}

} // namespace

class LogServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void recentEntries_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("301 entries") << entries(1, 301) << qint64(300) << 2 << 301;
        QTest::newRow("exactly 300") << entries(1, 300) << qint64(300) << 1 << 300;
        QTest::newRow("limit zero") << entries(1, 5) << qint64(0) << 1 << 0;
        QTest::newRow("bad tail skipped")
            << entries(1, 400) + QByteArray("{broken}\n").repeated(10) << qint64(300) << 101 << 400;
        QTest::newRow("no final line feed") << entries(1, 3).chopped(1) << qint64(300) << 1 << 3;
        QTest::newRow("few entries") << entries(1, 2) << qint64(300) << 1 << 2;
    }
    void recentEntries()
    {
        QFETCH(QByteArray, content);
        QFETCH(qint64, limit);
        QFETCH(int, first);
        QFETCH(int, last);
        test::TestHome home;
        const QString file = test::TestTree(home.logDir()).file(QStringLiteral("app.log"), content);
        QCOMPARE(messages(LogService(file).loadRecent(limit)), expectedMessages(first, last));
    }

    void linesSpanningReadBlocks()
    {
        test::TestHome home;
        QByteArray content;
        QStringList expected;
        for (int i = 0; i < 40; ++i) {
            const QString message = QString(QLatin1Char('a' + i % 26)).repeated(7000 + i * 331);
            const LogEntry entry{QUuid::createUuid(), LogLevel::warning, message,
                                 QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC)};
            content += json::compact(entry.toJson()) + '\n';
            expected.append(message);
        }
        const QString file = test::TestTree(home.logDir()).file(QStringLiteral("app.log"), content);
        QCOMPARE(messages(LogService(file).loadRecent(25)), expected.mid(15));
        QCOMPARE(messages(LogService(file).loadRecent(300)), expected);
    }

    void missingLogReadsEmptyAndCreatesNothing()
    {
        test::TestHome home;
        LogService log(home.logDir() + QStringLiteral("/app.log"));
        QVERIFY(log.loadRecent(300).isEmpty());
        QVERIFY(!QFileInfo::exists(home.logDir()));
    }

    void appendCreatesDirectoryAndLine()
    {
        test::TestHome home;
        LogService log(home.logDir() + QStringLiteral("/app.log"));
        log.append(LogLevel::error, QStringLiteral("it failed"));
        const QList<LogEntry> loaded = log.loadRecent(300);
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded.first().level, LogLevel::error);
        QCOMPARE(loaded.first().message, QStringLiteral("it failed"));
    }

    void concurrentAppendsStayWhole()
    {
        test::TestHome home;
        LogService log(home.logDir() + QStringLiteral("/app.log"));
        const QString longText = QString(QLatin1Char('x')).repeated(20000);
        std::thread one([&] {
            for (int i = 0; i < 100; ++i)
                log.append(LogLevel::info, QStringLiteral("one ") + longText);
        });
        std::thread two([&] {
            for (int i = 0; i < 100; ++i)
                log.append(LogLevel::info, QStringLiteral("two ") + longText);
        });
        one.join();
        two.join();
        QCOMPARE(log.loadRecent(1000).size(), 200);
    }
};

QTEST_GUILESS_MAIN(LogServiceTest)
#include "tst_logservice.moc"
