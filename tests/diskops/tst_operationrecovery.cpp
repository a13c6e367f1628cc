// The start-up recovery on states that a crash leaves, set up exactly: a record of a process still
// at work is left alone, an undo is finished or stopped depending on whether its copy was whole, a
// migration whose copy was whole is finished keeping what changed since, and what proves nothing (a
// volume that is away, a recreated source, a copy without its target) is left as found.
#include "JournalScenes.h"
#include "diskops/ReservedPaths.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/ProbeLeftovers.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"
#include "platform/TreeRemoval.h"
#include "support/ImmutableFlag.h"
#include "support/MovedMount.h"
#include "support/ReadOnlyRemount.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>

using namespace orvalink;
using namespace orvalink::test;
using Outcome = RecoveredOperation::Outcome;

namespace {

// The record of an undo of the migrated `source` killed while copying into its restore sibling.
JournalRecord leaveUndoWithPartialCopy(const EngineFixture& fx, const QString& source)
{
    JournalRecord record = journalRecordFor(fx, JournalKind::undo, source);
    record.restorePath = makeReservedPath(source, ReservedSuffix::restoring);
    TestTree(record.restorePath).file("a.txt", "alpha");
    record.restoreSiblingIdentity = entryIdentityText(record.restorePath);
    leaveRecord(record);
    return record;
}

// A few files in a new folder at `path`; answers the folder as snapshotTree sees it.
QStringList fillFolder(const QString& path)
{
    TestTree folder(path);
    folder.file("a.txt", "alpha");
    folder.fileOfSize("sub/b.bin", 64 * 1024);
    return test::snapshotTree(path);
}

// The record of a migration of `source` killed while copying: the source staged, part of it at the
// target.
JournalRecord leaveMigrationWithPartialCopy(const EngineFixture& fx, const QString& source)
{
    JournalRecord record = journalRecordFor(fx, JournalKind::migration, source);
    platform::renameNoReplace(source, record.stagingPath);
    TestTree(record.targetPath).file("a.txt", "alpha");
    record.targetIdentity = entryIdentityText(record.targetPath);
    record.moving = true;
    leaveRecord(record);
    return record;
}

} // namespace

class OperationRecoveryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void recordOfALiveProcessIsLeftAlone()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Docs/a.txt", "alpha");
        const QString source = fx.tree.path("Docs");
        // Killed before staging the source.
        std::optional<OperationJournal> live(std::in_place,
                                             journalRecordFor(fx, JournalKind::migration, source));

        QVERIFY(recoverOperations(fx).isEmpty());
        QCOMPARE(OperationJournal::recordPaths(), QStringList{live->path()});

        live.reset(); // the process ended without finishing
        const QList<RecoveredOperation> recovered = recoverOperations(fx);
        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::migrationRolledBack);
        QVERIFY(operationsFolderNames().isEmpty());
        QCOMPARE(fx.tree.read("Docs/a.txt"), QByteArray("alpha"));
    }

    // The whole copy stands beside the link: it takes the link's place, the target and the mapping go.
    void undoWithAWholeCopyIsFinished()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        const QStringList whole = migrateFolder(fx, source);
        JournalRecord record = journalRecordFor(fx, JournalKind::undo, source);
        record.restorePath = makeReservedPath(source, ReservedSuffix::restoring);
        copyTree(record.targetPath, record.restorePath);
        record.restoreSiblingIdentity = record.restoreIdentity = entryIdentityText(record.restorePath);
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::undoCompleted);
        QVERIFY(recovered.constFirst().keptPaths.isEmpty());
        QCOMPARE(platform::entryStatus(source).kind, platform::EntryKind::directory);
        QCOMPARE(test::snapshotTree(source), whole);
        QVERIFY(!platform::entryExists(record.targetPath));
        QVERIFY(!platform::entryExists(platform::parentPath(record.targetPath)));
        QVERIFY(!platform::entryExists(record.restorePath));
        QVERIFY(fx.mappings().isEmpty());
        QCOMPARE(fx.tasks().size(), 1);
        QCOMPARE(fx.tasks().constFirst().status, TaskStatus::rolledBack);
        QVERIFY(operationsFolderNames().isEmpty());
    }

    // A copy that was not yet whole goes; the link and the mapping stay.
    void undoWithAPartialCopyKeepsTheLink()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        const QStringList whole = migrateFolder(fx, source);
        const JournalRecord record = leaveUndoWithPartialCopy(fx, source);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::undoStopped);
        QCOMPARE(platform::readSymbolicLink(source), record.targetPath);
        QCOMPARE(test::snapshotTree(record.targetPath), whole);
        QVERIFY(!platform::entryExists(record.restorePath));
        QCOMPARE(fx.mappings().size(), 1);
        QVERIFY(operationsFolderNames().isEmpty());
    }

    // The target is gone while its folder stays, which is also what the user's own removal looks
    // like: a copy beside the source that was never recorded whole proves nothing and stays.
    void copyWithoutItsTargetIsLeftAsFound()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        migrateFolder(fx, source);
        const JournalRecord record = leaveUndoWithPartialCopy(fx, source);
        platform::removeTree(record.targetPath);
        QVERIFY(platform::entryExists(platform::parentPath(record.targetPath)));
        const QStringList copy = test::snapshotTree(record.restorePath);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::leftAsFound);
        QCOMPARE(recovered.constFirst().foundPaths, (QStringList{source, record.restorePath}));
        QCOMPARE(test::snapshotTree(record.restorePath), copy);
        QCOMPARE(platform::entryStatus(source).kind, platform::EntryKind::symbolicLink);
        QCOMPARE(fx.mappings().size(), 1);
        QCOMPARE(OperationJournal::recordPaths().size(), 1);
    }

    // With the volume away, nothing is touched and the record waits for the next start.
    void undoWaitsForItsVolume()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        migrateFolder(fx, source);
        const JournalRecord record = leaveUndoWithPartialCopy(fx, source);
        QList<RecoveredOperation> recovered;
        {
            const MovedMount away(fx.volumePath(), fx.home.path("elsewhere"), MovedMount::AtEnd::moveBack);
            QVERIFY(away.isValid());
            recovered = recoverOperations(fx);
            QCOMPARE(fx.tree.read(record.restorePath.section('/', -1) + "/a.txt"), QByteArray("alpha"));
            QCOMPARE(platform::entryStatus(source).kind, platform::EntryKind::symbolicLink);
            QCOMPARE(OperationJournal::recordPaths().size(), 1);
        }
        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::leftAsFound);
        QCOMPARE(recovered.constFirst().waitingForVolume, std::optional<QString>(fx.targetRoot()));

        // The volume is back: the next start finishes the job.
        QCOMPARE(recoverOperations(fx).constFirst().outcome, Outcome::undoStopped);
        QVERIFY(operationsFolderNames().isEmpty());
        QVERIFY(!platform::entryExists(record.restorePath));
    }

    // The record names the volume's UUID and the volume mounted there now has none that can be
    // read: it cannot be confirmed as the one the undo worked on, so nothing is touched until it can.
    void undoOnAVolumeWithoutAReadableUUIDIsLeftAsFound()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.setVolumeUUID(fx.volumePath(), "MIGRATED-HERE");
        const QString source = fx.tree.path("Docs");
        migrateFolder(fx, source);
        const JournalRecord record = leaveUndoWithPartialCopy(fx, source);
        QCOMPARE(record.volumeUUID, QStringLiteral("MIGRATED-HERE"));
        QVERIFY(QDir(fx.home.path("devices/udev")).removeRecursively());
        const QStringList copy = test::snapshotTree(record.restorePath);

        QCOMPARE(recoverOperations(fx).constFirst().outcome, Outcome::leftAsFound);
        QCOMPARE(test::snapshotTree(record.restorePath), copy);
        QCOMPARE(platform::readSymbolicLink(source), record.targetPath);
        QCOMPARE(OperationJournal::recordPaths().size(), 1);

        fx.setVolumeUUID(fx.volumePath(), "MIGRATED-HERE");
        QCOMPARE(recoverOperations(fx).constFirst().outcome, Outcome::undoStopped);
        QVERIFY(!platform::entryExists(record.restorePath));
        QVERIFY(operationsFolderNames().isEmpty());
    }

    // A migration killed while copying, and the volume away at the next start: the data comes back
    // to the source at once, the partial copy is cleared once the volume is back, and the folder
    // can be migrated again.
    void partialCopyOnAVolumeThatIsAwayIsClearedLater()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        const QStringList whole = fillFolder(source);
        const JournalRecord record = leaveMigrationWithPartialCopy(fx, source);
        QList<RecoveredOperation> recovered;
        QList<RecoveredOperation> stillAway;
        {
            const MovedMount away(fx.volumePath(), fx.home.path("elsewhere"), MovedMount::AtEnd::moveBack);
            QVERIFY(away.isValid());
            recovered = recoverOperations(fx);
            stillAway = recoverOperations(fx);
        }
        QCOMPARE(stillAway.size(), 1);
        QCOMPARE(stillAway.constFirst().outcome, Outcome::leftAsFound);
        QCOMPARE(stillAway.constFirst().waitingForVolume, std::optional<QString>(fx.targetRoot()));
        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::migrationRolledBack);
        QCOMPARE(recovered.constFirst().waitingForVolume, std::optional<QString>(fx.targetRoot()));
        QCOMPARE(test::snapshotTree(source), whole);
        QCOMPARE(fx.tasks().size(), 1);
        QCOMPARE(OperationJournal::recordPaths().size(), 1);
        QVERIFY(platform::entryExists(record.targetPath)); // not reachable then, untouched

        const QList<RecoveredOperation> later = recoverOperations(fx);
        QCOMPARE(later.size(), 1);
        QCOMPARE(later.constFirst().outcome, Outcome::leftoversCleared);
        QVERIFY(!platform::entryExists(record.targetPath));
        QVERIFY(!platform::entryExists(fx.targetRoot()));
        QVERIFY(operationsFolderNames().isEmpty());
        QCOMPARE(fx.tasks().size(), 1);
        const auto again = fx.migrate(source);
        QVERIFY2(again.task.status == TaskStatus::completed, qPrintable(describe(again)));
    }

    // A migration killed while copying, and its volume read-only at the next start: the data comes
    // back to the source and the task is recorded, and the answer says so; the partial copy the
    // volume refuses to give up is named, and cleared at a start that can.
    void partialCopyOnAReadOnlyVolumeIsNamedAfterTheDataIsBack()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        const QStringList whole = fillFolder(source);
        const JournalRecord record = leaveMigrationWithPartialCopy(fx, source);
        QList<RecoveredOperation> recovered;
        {
            const ReadOnlyRemount readOnly(fx.volumePath());
            if (!readOnly.isValid())
                QSKIP("cannot make the volume read-only here");
            recovered = recoverOperations(fx);
        }

        QCOMPARE(recovered.size(), 1);
        const RecoveredOperation& back = recovered.constFirst();
        QCOMPARE(back.outcome, Outcome::migrationRolledBack);
        QCOMPARE(back.foundPaths, QStringList{record.targetPath});
        QVERIFY(!back.needsAdministrator);
        QCOMPARE(test::snapshotTree(source), whole);
        QCOMPARE(fx.tasks().size(), 1);
        QCOMPARE(fx.tasks().constFirst().status, TaskStatus::rolledBack);
        QCOMPARE(TestTree(record.targetPath).read("a.txt"), QByteArray("alpha"));
        QCOMPARE(OperationJournal::recordPaths().size(), 1);

        const QList<RecoveredOperation> later = recoverOperations(fx);
        QCOMPARE(later.size(), 1);
        QCOMPARE(later.constFirst().outcome, Outcome::leftoversCleared);
        QVERIFY(!platform::entryExists(record.targetPath));
        QVERIFY(operationsFolderNames().isEmpty());
        QCOMPARE(fx.tasks().size(), 1);
        QCOMPARE(test::snapshotTree(source), whole);
    }

    // Killed while it tried its volume: the data never left, and what the try made on the volume goes
    // (by its name and what it holds), the folder tried getting its times back.
    void migrationKilledWhileTryingItsVolume()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        TestTree docs(fx.tree.path("Docs"));
        docs.file("a.txt", "alpha");
        const QStringList whole = test::snapshotTree(docs.root());
        const JournalRecord record = journalRecordFor(fx, JournalKind::migration, docs.root());
        const QString tried = probedFolderPath(record);
        QCOMPARE(tried, fx.volumePath()); // nothing of the target root stands yet
        const QByteArray folder = QFile::encodeName(tried);
        const struct timespec old[2] = {{1000000000, 3}, {1000000000, 9}};
        QCOMPARE(::utimensat(AT_FDCWD, folder.constData(), old, 0), 0);
        struct stat before {};
        ::stat(folder.constData(), &before);
        const QStringList volume = test::snapshotTree(tried);
        TestTree probe(tried + "/" + QString::fromLatin1(platform::probeFolderName(before)));
        probe.file("f", "");
        probe.file("n/o:o", "");
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::migrationRolledBack);
        QCOMPARE(test::snapshotTree(tried), volume);
        struct stat after {};
        ::stat(folder.constData(), &after);
        QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        QCOMPARE(test::snapshotTree(docs.root()), whole);
        QVERIFY(operationsFolderNames().isEmpty());
    }

    // A forced restore had set the occupant of the source aside when it stopped: nothing is
    // guessed, and the user learns where that occupant and the data are.
    void interruptedForcedRestoreIsReported()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        const QStringList whole = migrateFolder(fx, source);
        JournalRecord record = journalRecordFor(fx, JournalKind::undo, source);
        record.forced = true;
        QVERIFY(QFile::remove(source));
        const QString preserved = makeReservedPath(source, ReservedSuffix::overwritePreserved);
        TestTree(preserved).file("mine.txt", "mine");
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::leftAsFound);
        QCOMPARE(recovered.constFirst().foundPaths, (QStringList{record.targetPath, preserved}));
        QVERIFY(!platform::entryExists(source));
        QCOMPARE(test::snapshotTree(record.targetPath), whole);
        QCOMPARE(fx.mappings().size(), 1);
    }

    void recreatedSourceIsLeftAsFound_data()
    {
        QTest::addColumn<bool>("copyStays");
        QTest::newRow("the copy stays at the target") << true;
        QTest::newRow("the copy went from the target") << false;
    }
    // The copy was whole at the target, but a new folder took the source path meanwhile: neither is
    // touched, and no mapping claims a link that does not exist. Whether the copy stayed or went,
    // the answer says what stands where, never that the data is nowhere.
    void recreatedSourceIsLeftAsFound()
    {
        QFETCH(bool, copyStays);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        const QStringList whole = migrateFolder(fx, source);
        QFile::remove(fx.mappingStore.filePath());
        JournalRecord record = journalRecordFor(fx, JournalKind::migration, source);
        record.itemIdentity = record.targetIdentity = entryIdentityText(record.targetPath);
        record.createdDirectories.clear();
        record.targetRootIdentity = entryIdentityText(fx.targetRoot());
        record.moving = record.arrived = true;
        QVERIFY(QFile::remove(source));
        fx.tree.file("Docs/new.txt", "new");
        if (!copyStays)
            platform::removeTree(record.targetPath);
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::leftAsFound);
        QCOMPARE(recovered.constFirst().foundPaths,
                 (copyStays ? QStringList{source, record.targetPath} : QStringList{source}));
        QCOMPARE(fx.tree.read("Docs/new.txt"), QByteArray("new"));
        if (copyStays)
            QCOMPARE(test::snapshotTree(record.targetPath), whole);
        QVERIFY(fx.mappings().isEmpty());
        const QString logged = fx.logEntries().constLast().message;
        QVERIFY2(!logged.contains("none of its places") &&
                     logged.contains(copyStays ? "something else stands at the source path"
                                               : "the copy is gone from the target path"),
                 qPrintable(logged));
    }

    // What an operation kept aside beside a long name is named in the report: the reserved names
    // of such a name are shortened, and the report finds them the same way.
    void reportNamesReservedPathsOfLongNames()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString name = QString(125, QChar(u'é')); // 250 bytes in UTF-8
        QCOMPARE(QFile::encodeName(name).size(), 250);
        const QString source = fx.tree.path(name);
        TestTree(source).file("a.txt", "alpha");
        JournalRecord record = journalRecordFor(fx, JournalKind::migration, source);
        const QString conflict = makeReservedPath(source, ReservedSuffix::rollbackConflict);
        QVERIFY(!conflict.section('/', -1).contains(name)); // shortened to fit
        TestTree(conflict).file("mine.txt", "mine");
        record.itemIdentity = QStringLiteral("1:1"); // neither at the source nor staged
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::leftAsFound);
        QCOMPARE(recovered.constFirst().foundPaths, (QStringList{source, conflict}));
    }

    // Putting the data back needs rights the user lacks: nothing is asked, nothing moves, and the
    // record stays for a start that can do it.
    void stepNeedingAdministratorIsLeftAsFound()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        TestTree docs(fx.tree.path("Projects/Docs"));
        docs.file("a.txt", "alpha");
        const QString source = docs.root();
        JournalRecord record = journalRecordFor(fx, JournalKind::migration, source);
        platform::renameNoReplace(source, record.stagingPath);
        leaveRecord(record);
        ImmutableFlag locked(fx.tree.path("Projects"));
        if (!locked.isSet())
            QSKIP(qPrintable(locked.skipReason()));

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::leftAsFound);
        QVERIFY(recovered.constFirst().needsAdministrator);
        QVERIFY(fx.runner->commands.isEmpty());
        locked.clear();
        QCOMPARE(TestTree(record.stagingPath).read("a.txt"), QByteArray("alpha"));
        QVERIFY(!platform::entryExists(source));
        QCOMPARE(OperationJournal::recordPaths().size(), 1);
        QCOMPARE(recoverOperations(fx).constFirst().outcome, Outcome::migrationRolledBack);
        QCOMPARE(docs.read("a.txt"), QByteArray("alpha"));
    }
};

QTEST_GUILESS_MAIN(OperationRecoveryTest)
#include "tst_operationrecovery.moc"
