// The start-up recovery on states that a crash leaves, set up exactly: a record of a process still
// at work is left alone, an unreadable one is reported, an undo is finished or stopped depending on
// whether its copy was whole, and what proves nothing (an unmounted volume, a recreated source) is
// left as found.
#include "EngineFixture.h"
#include "diskops/OperationJournal.h"
#include "diskops/OperationRecovery.h"
#include "diskops/ReservedPaths.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/SymbolicLinks.h"
#include "platform/TreeRemoval.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"

#include <QProcess>
#include <QtTest>

using namespace orvalink;
using test::EngineFixture;
using Outcome = RecoveredOperation::Outcome;

namespace {

JournalRecord recordOf(const EngineFixture& fx, JournalKind kind, const QString& source)
{
    JournalRecord record;
    record.kind = kind;
    record.id = QUuid::createUuid();
    record.sourcePath = source;
    record.targetPath = fx.targetOf(source);
    record.mappingID = fx.mappings().isEmpty() ? QUuid::createUuid() : fx.mappings().constFirst().id;
    record.anchorUser = QStringLiteral("user");
    record.volumeUUID = QStringLiteral("unknown");
    record.startedAt = QDateTime::currentDateTimeUtc();
    record.mappingsFile = fx.mappingStore.filePath();
    record.tasksFile = fx.taskStore.filePath();
    return record;
}

// The record as a killed process leaves it: written, never finished, its lock gone with it.
void leaveRecord(const JournalRecord& record)
{
    OperationJournal journal(record);
}

QString restoringSibling(const QString& source)
{
    return makeReservedPath(source, ReservedSuffix::restoring);
}

void copyTree(const QString& from, const QString& to)
{
    QCOMPARE(QProcess::execute("cp", {"-a", "--", from, to}), 0);
}

} // namespace

class OperationRecoveryTest : public QObject {
    Q_OBJECT

private:
    // A migrated folder: the link at the source, the whole tree at the target, one mapping.
    QStringList migrated(EngineFixture& fx, const QString& source)
    {
        fx.tree.file("Docs/a.txt", "alpha");
        fx.tree.fileOfSize("Docs/sub/b.bin", 96 * 1024);
        const QStringList whole = test::snapshotTree(source);
        const auto result = fx.migrate(source);
        if (result.task.status != TaskStatus::completed)
            qFatal("%s", qPrintable(test::describe(result)));
        QFile::remove(fx.taskStore.filePath());
        return whole;
    }

    QList<RecoveredOperation> recover(EngineFixture& fx)
    {
        return OperationRecovery(fx.privileged, fx.log).recoverInterruptedOperations();
    }

private Q_SLOTS:
    void recordOfALiveProcessIsLeftAlone()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Docs/a.txt", "alpha");
        const QString source = fx.tree.path("Docs");
        JournalRecord record = recordOf(fx, JournalKind::migration, source);
        record.itemIdentity = entryIdentityText(source); // killed before staging the source
        std::optional<OperationJournal> live(std::in_place, record);

        QVERIFY(recover(fx).isEmpty());
        QCOMPARE(OperationJournal::recordPaths(), QStringList{live->path()});

        live.reset(); // the process ended without finishing
        const QList<RecoveredOperation> recovered = recover(fx);
        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::migrationRolledBack);
        QVERIFY(OperationJournal::recordPaths().isEmpty());
        QCOMPARE(fx.tree.read("Docs/a.txt"), QByteArray("alpha"));
    }

    void unreadableRecordIsReportedAndKept()
    {
        EngineFixture fx;
        const QString path = OperationJournal::directory() + QStringLiteral("/broken.json");
        platform::createDirectories(OperationJournal::directory());
        platform::writeFileAtomically(path, "{\"kind\": \"migration\"");

        const QList<RecoveredOperation> recovered = recover(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::leftAsFound);
        QCOMPARE(recovered.constFirst().foundPaths, QStringList{path});
        QCOMPARE(OperationJournal::recordPaths(), QStringList{path});
        QCOMPARE(fx.logEntries().constLast().level, LogLevel::error);
    }

    // The whole copy stands beside the link: it takes the link's place, the target and the mapping go.
    void undoWithAWholeCopyIsFinished()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        const QStringList whole = migrated(fx, source);
        JournalRecord record = recordOf(fx, JournalKind::undo, source);
        record.restorePath = restoringSibling(source);
        copyTree(record.targetPath, record.restorePath);
        record.restoreIdentity = entryIdentityText(record.restorePath);
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recover(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::undoCompleted);
        QCOMPARE(platform::entryStatus(source).kind, platform::EntryKind::directory);
        QCOMPARE(test::snapshotTree(source), whole);
        QVERIFY(!platform::entryExists(record.targetPath));
        QVERIFY(!platform::entryExists(record.targetPath.section('/', 0, -2)));
        QVERIFY(!platform::entryExists(record.restorePath));
        QVERIFY(fx.mappings().isEmpty());
        QCOMPARE(fx.tasks().size(), 1);
        QCOMPARE(fx.tasks().constFirst().status, TaskStatus::rolledBack);
        QVERIFY(OperationJournal::recordPaths().isEmpty());
    }

    // A copy that was not yet whole goes; the link and the mapping stay.
    void undoWithAPartialCopyKeepsTheLink()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        const QStringList whole = migrated(fx, source);
        JournalRecord record = recordOf(fx, JournalKind::undo, source);
        record.restorePath = restoringSibling(source);
        test::TestTree(record.restorePath).file("a.txt", "alpha");
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recover(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::undoStopped);
        QCOMPARE(platform::readSymbolicLink(source), record.targetPath);
        QCOMPARE(test::snapshotTree(record.targetPath), whole);
        QVERIFY(!platform::entryExists(record.restorePath));
        QCOMPARE(fx.mappings().size(), 1);
        QVERIFY(OperationJournal::recordPaths().isEmpty());
    }

    // With the volume away, a missing target says nothing about the copy beside the source: nothing
    // is touched and the record waits for the next start.
    void missingVolumeProvesNothing()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        migrated(fx, source);
        JournalRecord record = recordOf(fx, JournalKind::undo, source);
        record.restorePath = restoringSibling(source);
        test::TestTree(record.restorePath).file("a.txt", "alpha");
        leaveRecord(record);
        const QString away = fx.volumePath() + QStringLiteral("/away");
        platform::renameNoReplace(fx.targetRoot(), away);

        const QList<RecoveredOperation> recovered = recover(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::leftAsFound);
        QCOMPARE(recovered.constFirst().foundPaths, (QStringList{source, record.restorePath}));
        QCOMPARE(fx.tree.read(record.restorePath.section('/', -1) + "/a.txt"), QByteArray("alpha"));
        QCOMPARE(platform::entryStatus(source).kind, platform::EntryKind::symbolicLink);
        QCOMPARE(OperationJournal::recordPaths().size(), 1);

        // The volume is back: the next start finishes the job.
        platform::renameNoReplace(away, fx.targetRoot());
        QCOMPARE(recover(fx).constFirst().outcome, Outcome::undoStopped);
        QVERIFY(OperationJournal::recordPaths().isEmpty());
    }

    // A forced restore had set the occupant of the source aside when it stopped: nothing is
    // guessed, and the user learns where that occupant and the data are.
    void interruptedForcedRestoreIsReported()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        const QStringList whole = migrated(fx, source);
        QVERIFY(QFile::remove(source));
        const QString preserved =
            fx.tree.file(".Docs.orvalink-overwrite-preserved-1/mine.txt", "mine").section('/', 0, -2);
        JournalRecord record = recordOf(fx, JournalKind::undo, source);
        record.forced = true;
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recover(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::leftAsFound);
        QCOMPARE(recovered.constFirst().foundPaths, (QStringList{record.targetPath, preserved}));
        QVERIFY(!platform::entryExists(source));
        QCOMPARE(test::snapshotTree(record.targetPath), whole);
        QCOMPARE(fx.mappings().size(), 1);
    }

    // The copy was whole at the target, but a new folder took the source path meanwhile: neither is
    // touched, and no mapping claims a link that does not exist.
    void recreatedSourceIsLeftAsFound()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        const QStringList whole = migrated(fx, source);
        QFile::remove(fx.mappingStore.filePath());
        QVERIFY(QFile::remove(source));
        fx.tree.file("Docs/new.txt", "new");
        JournalRecord record = recordOf(fx, JournalKind::migration, source);
        record.stagingPath = source.section('/', 0, -2) + QStringLiteral("/.Docs.orvalink-staging-gone");
        record.moving = true;
        record.arrived = true;
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recover(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::leftAsFound);
        QCOMPARE(recovered.constFirst().foundPaths, (QStringList{source, record.targetPath}));
        QCOMPARE(fx.tree.read("Docs/new.txt"), QByteArray("new"));
        QCOMPARE(test::snapshotTree(record.targetPath), whole);
        QVERIFY(fx.mappings().isEmpty());
    }
};

QTEST_GUILESS_MAIN(OperationRecoveryTest)
#include "tst_operationrecovery.moc"
