// What stands at a record's name in the operations folder is opened the one safe way: a link, a
// FIFO, a device, a folder or an oversized file is set aside once without being followed, waited on
// or read into memory, and many records cost time in proportion to their number.
#include "JournalScenes.h"
#include "model/JsonFields.h"
#include "platform/FileIO.h"
#include "platform/FileLock.h"
#include "platform/PlatformError.h"
#include "support/SkipWithout.h"
#include "support/TmpfsMount.h"
#include "support/TreeSnapshot.h"

#include <QTest>
#include <functional>
#include <sys/stat.h>

using namespace orvalink;
using namespace orvalink::test;
using Outcome = RecoveredOperation::Outcome;

namespace {

// Puts something at `path` in place of a record file; `elsewhere` is a folder outside the
// operations folder for what a link points at.
using Plant = std::function<void(const QString& path, TestTree& elsewhere)>;

QString operationsPath(const QString& name)
{
    return OperationJournal::directory() + QLatin1Char('/') + name;
}

void makeLink(const QString& target, const QString& path)
{
    QVERIFY(QFile::link(target, path));
}

} // namespace

Q_DECLARE_METATYPE(Plant)

class JournalFilesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void whatIsNoRecordIsSetAsideUnread_data()
    {
        QTest::addColumn<Plant>("plant");
        QTest::addColumn<QString>("why"); // what the log gives as the reason
        QTest::newRow("link to /dev/zero")
            << Plant([](const QString& path, TestTree&) { makeLink(QStringLiteral("/dev/zero"), path); })
            << QStringLiteral("symbolic link");
        QTest::newRow("link to a FIFO")
            << Plant([](const QString& path, TestTree& elsewhere) { makeLink(elsewhere.fifo("pipe"), path); })
            << QStringLiteral("symbolic link");
        QTest::newRow("link to a record") << Plant([](const QString& path, TestTree& elsewhere) {
            makeLink(elsewhere.file("record.json", "{}"), path);
        }) << QStringLiteral("symbolic link");
        QTest::newRow("FIFO") << Plant([](const QString& path, TestTree&) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }) << QStringLiteral("not a regular file");
        QTest::newRow("folder") << Plant([](const QString& path, TestTree&) {
            TestTree(path).file("inside.txt", "kept");
        }) << QStringLiteral("a folder");
        // Well-formed as far as it goes: only its size gives it away.
        QTest::newRow("larger than any record") << Plant([](const QString& path, TestTree&) {
            TestTree(OperationJournal::directory())
                .file(path.section(QLatin1Char('/'), -1),
                      "{\"kind\": \"migration\"" + QByteArray(OperationJournal::kMaxRecordBytes, ' ') + "}");
        }) << QStringLiteral("larger than 1048576 bytes");
    }

    void whatIsNoRecordIsSetAsideUnread()
    {
        QFETCH(Plant, plant);
        QFETCH(QString, why);
        EngineFixture fx;
        TestTree elsewhere(fx.home.path("elsewhere"));
        elsewhere.dir(".");
        platform::createDirectories(OperationJournal::directory());
        const QString path = operationsPath(QStringLiteral("planted.json"));
        plant(path, elsewhere);
        const QStringList before = snapshotTree(elsewhere.root());

        QCOMPARE(OperationRecovery::pendingSourcePaths(), QStringList());
        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::setAside);
        QCOMPARE(recovered.constFirst().recordPath, path + QStringLiteral(".set-aside"));
        QCOMPARE(operationsFolderNames(), QStringList{"planted.json.set-aside"});
        QVERIFY2(fx.logEntries().constLast().message.contains(why),
                 qPrintable(fx.logEntries().constLast().message));
        QCOMPARE(snapshotTree(elsewhere.root()), before);
        // Reported once: the next start passes it over.
        QVERIFY(recoverOperations(fx).isEmpty());
    }

    // A lock file that is not one is refused at once, and the record waits for a start that can
    // take it.
    void squattedLockKeepsTheRecord_data()
    {
        QTest::addColumn<Plant>("plant");
        QTest::newRow("FIFO") << Plant([](const QString& path, TestTree&) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        });
        QTest::newRow("link to a FIFO") << Plant(
            [](const QString& path, TestTree& elsewhere) { makeLink(elsewhere.fifo("pipe"), path); });
        QTest::newRow("dangling link") << Plant(
            [](const QString& path, TestTree& elsewhere) { makeLink(elsewhere.path("missing"), path); });
    }

    void squattedLockKeepsTheRecord()
    {
        QFETCH(Plant, plant);
        EngineFixture fx;
        TestTree elsewhere(fx.home.path("elsewhere"));
        elsewhere.dir(".");
        TestTree operations(OperationJournal::directory());
        const QString record = operations.file("kept.json", "{}");
        plant(operations.path("kept.lock"), elsewhere);

        QVERIFY_THROWS_EXCEPTION(platform::UnsuitableFileError, OperationJournal::claim(record));
        QCOMPARE(operationsFolderNames(), (QStringList{"kept.json", "kept.lock"}));
        QVERIFY(!platform::entryExists(elsewhere.path("missing")));
        const QList<RecoveredOperation> recovered = recoverOperations(fx);
        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::leftAsFound);
        QCOMPARE(recovered.constFirst().foundPaths, QStringList{record});
    }

    // The same operation recorded many times over, each record with its own id, as a restored
    // backup or a sync tool may leave them: each is handled once. The cost per record (each
    // record's task used to be looked for by reading the whole task file) is no matter for a timed
    // assertion on a shared machine; the test's time limit catches a hang.
    void manyDuplicateRecordsAreEachHandled()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        // The records and the history on a tmpfs: the guard below is about the recovery's own work,
        // not the latency of the disk under the build tree.
        const TmpfsMount support(fx.home.appSupport(), 256 * 1024 * 1024);
        QVERIFY2(support.isValid(), qPrintable(support.skipReason()));
        fx.tree.file("Docs/a.txt", "alpha");
        const QString source = fx.tree.path("Docs");
        const JournalRecord record = journalRecordFor(fx, JournalKind::migration, source);
        constexpr int kCopies = 2000;
        for (int copy = 0; copy < kCopies; ++copy) {
            JournalRecord again = record;
            again.id = QUuid::createUuid();
            leaveRecord(again);
        }
        QCOMPARE(OperationJournal::recordPaths().size(), kCopies);

        QCOMPARE(OperationRecovery::pendingSourcePaths(), QStringList{source});
        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), kCopies);
        for (const RecoveredOperation& each : recovered)
            QCOMPARE(each.outcome, Outcome::migrationRolledBack);
        QVERIFY(operationsFolderNames().isEmpty());
        QCOMPARE(fx.tree.read("Docs/a.txt"), QByteArray("alpha"));
    }
};

QTEST_GUILESS_MAIN(JournalFilesTest)
#include "tst_journalfiles.moc"
