// Migrations, undos and start-up recoveries killed with SIGKILL at moments spread across their run.
// Right after a migration's kill the whole tree stands, byte for byte, at the source, a staging
// path or the target (a partial copy may stand beside it, never instead of it). After each kill the
// start-up recovery runs, and the result must be strictly one of the whole ends: the tree whole at the source
// with nothing of the operation left, or migrated (a link to the whole target and one mapping). And a kill
// followed by another drive at the same mount point: that drive's data stays byte for byte as it was.
#include "JournalScenes.h"
#include "KilledOperations.h"
#include "diskops/CreatedFolders.h"
#include "diskops/OperationJournal.h"
#include "diskops/OperationRecovery.h"
#include "model/JsonFields.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/SymbolicLinks.h"
#include "platform/TreeRemoval.h"
#include "support/MovedMount.h"
#include "support/SkipWithout.h"
#include "support/TmpfsMount.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <unistd.h>

using namespace orvalink;
using namespace orvalink::test;

namespace {

constexpr int kRecoveryKills = 10;

// The record of the one operation in the folder, if there is one.
std::optional<JournalRecord> soleRecord()
{
    const QStringList paths = OperationJournal::recordPaths();
    if (paths.size() != 1)
        return std::nullopt;
    return JournalRecord::fromJson(json::parseObject(platform::readWholeFile(paths.constFirst())));
}

// Another drive at the volume's mount point, with a folder of its own where the target path lies;
// the first drive waits elsewhere and comes back when this dies.
class SwappedDrive {
public:
    SwappedDrive(EngineFixture& fx, const QString& target)
        : m_away(fx.volumePath(), fx.home.path("drive-a"), test::MovedMount::AtEnd::moveBack),
          m_driveB(std::make_unique<test::TmpfsMount>(fx.volumePath(), 16 * 1024 * 1024))
    {
        if (!m_away.isValid() || !m_driveB->isValid())
            return;
        test::TestTree mine(target);
        mine.file("only-on-b.txt", "drive B's own");
        mine.fileOfSize("dir0/file0.bin", 4096); // a name the migrated tree has too
        mine.symlink("link", "only-on-b.txt");
        before = test::snapshotTree(fx.volumePath());
    }
    ~SwappedDrive() { m_driveB.reset(); } // before the first drive comes back

    bool isValid() const { return m_away.isValid() && m_driveB->isValid(); }
    QStringList before; // the second drive as it was set up

private:
    test::MovedMount m_away;
    std::unique_ptr<test::TmpfsMount> m_driveB;
};

} // namespace

Q_DECLARE_METATYPE(Place)

class CrashRecoveryTest : public QObject {
    Q_OBJECT

    static void placesAndKills()
    {
        QTest::addColumn<Place>("place");
        QTest::addColumn<int>("kills");
        QTest::newRow("in the home") << Place::inHome << kKills;
        QTest::newRow("below a linked folder") << Place::belowALinkedFolder << kKills / 4;
    }

private Q_SLOTS:
    // Below a linked folder fewer kills are enough: what differs is only the way to the source.
    void killedMigrationsEndWhole_data() { placesAndKills(); }
    void killedMigrationsEndWhole()
    {
        QFETCH(Place, place);
        QFETCH(int, kills);
        Scene scene(place);
        if (const auto reason = scene.fx.skipReason())
            QSKIP(qPrintable(*reason));
        const QStringList migrate{"migrate", scene.source, scene.fx.targetRoot()};
        scene.reset();
        const Run full = runOperation(migrate, std::nullopt);
        QVERIFY(full.finished);
        std::optional<End> end;
        VERIFY_END(scene, end, "a finished migration");
        QCOMPARE(*end, End::migrated);

        QMap<End, int> ends;
        QMap<QString, int> wholeAt; // where the whole tree stood right after each kill
        const QList<Moment> steps{[](const JournalRecord& record) { return record.moving; },
                                  [](const JournalRecord& record) {
                                      return record.arrived;
                                  }};
        const KillTally tally = killRepeatedly(
            migrate, full.elapsedMs, steps, [&] { scene.reset(); },
            [&](const QString& when) {
                const QString wholeAtKill = scene.wholeCopyPlace();
                QVERIFY2(!wholeAtKill.isEmpty(),
                         qPrintable(QStringLiteral("no whole copy after the migration "
                                                   "was killed ") +
                                    when));
                ++wholeAt[wholeAtKill == scene.source   ? QStringLiteral("source")
                          : wholeAtKill == scene.target ? QStringLiteral("target")
                                                        : QStringLiteral("staging")];
                std::optional<End> reached;
                scene.recover();
                VERIFY_END(scene, reached, QStringLiteral("migration killed ") + when);
                ++ends[*reached];
                const QList<MigrationTask> tasks = scene.fx.tasks();
                if (*reached == End::migrated) {
                    QCOMPARE(tasks.size(), 1);
                    QCOMPARE(tasks.constFirst().status, TaskStatus::completed);
                } else {
                    QVERIFY(tasks.size() <= 1);
                    if (!tasks.isEmpty())
                        QCOMPARE(tasks.constFirst().status, TaskStatus::rolledBack);
                }
            },
            kills);
        QVERIFY(!QTest::currentTestFailed());
        qInfo("migrations: %d killed, %d finished first (a run takes about %lld ms); right after the kill "
              "whole at the source %d, staging %d, target %d times; after recovery whole at the source %d "
              "times, migrated %d times",
              tally.kills, tally.finishedFirst, tally.typicalMs, wholeAt.value("source"),
              wholeAt.value("staging"), wholeAt.value("target"), ends.value(End::atSource),
              ends.value(End::migrated));
        QVERIFY2(tally.kills >= kills * 9 / 10, qPrintable(QStringLiteral("only %1 kills").arg(tally.kills)));
        QVERIFY(ends.value(End::atSource) > 0 && ends.value(End::migrated) > 0);
    }

    void killedUndosEndWhole_data() { placesAndKills(); }
    void killedUndosEndWhole()
    {
        QFETCH(Place, place);
        QFETCH(int, kills);
        Scene scene(place);
        if (const auto reason = scene.fx.skipReason())
            QSKIP(qPrintable(*reason));
        const QStringList undo{"undo"};
        const auto migrateInProcess = [&] {
            scene.reset();
            const auto result = scene.fx.migrate(scene.source);
            QVERIFY2(result.task.status == TaskStatus::completed, qPrintable(test::describe(result)));
        };
        migrateInProcess();
        const Run full = runOperation(undo, std::nullopt);
        QVERIFY(full.finished);
        std::optional<End> end;
        VERIFY_END(scene, end, "a finished undo");
        QCOMPARE(*end, End::atSource);

        QMap<End, int> ends;
        const QList<Moment> steps{
            [](const JournalRecord& record) { return !record.restoreIdentity.isEmpty(); },
            [](const JournalRecord& record) {
                return holdsEntry(record.sourcePath,
                                  record.restoreIdentity); // the copy took the link's place
            }};
        const KillTally tally = killRepeatedly(
            undo, full.elapsedMs, steps,
            [&] {
                if (platform::entryStatus(scene.source).kind != platform::EntryKind::symbolicLink)
                    migrateInProcess();
            },
            [&](const QString& when) {
                std::optional<End> reached;
                scene.recover();
                VERIFY_END(scene, reached, QStringLiteral("undo killed ") + when);
                ++ends[*reached];
            },
            kills);
        QVERIFY(!QTest::currentTestFailed());
        qInfo("undos: %d killed, %d finished first (a run takes about %lld ms); after recovery the link kept "
              "%d "
              "times, the tree whole at the source %d times",
              tally.kills, tally.finishedFirst, tally.typicalMs, ends.value(End::migrated),
              ends.value(End::atSource));
        QVERIFY2(tally.kills >= kills * 9 / 10, qPrintable(QStringLiteral("only %1 kills").arg(tally.kills)));
        QVERIFY(ends.value(End::atSource) > 0 && ends.value(End::migrated) > 0);
    }

    // The recovery itself is killed, then the next start recovers again.
    void killedRecoveryEndsWhole()
    {
        Scene scene;
        if (const auto reason = scene.fx.skipReason())
            QSKIP(qPrintable(*reason));
        const QStringList migrate{"migrate", scene.source, scene.fx.targetRoot()};
        scene.reset();
        const Run full = runOperation(migrate, std::nullopt);
        QVERIFY(full.finished);
        // An interrupted migration for the recovery to work on, killed as soon as its journal shows
        // the copy begun (the recovery goes back and removes the partial target) or whole (it goes
        // forward and removes what is left of the staged tree); false when it ended first.
        const QList<Moment> steps{[](const JournalRecord& record) { return record.moving; },
                                  [](const JournalRecord& record) {
                                      return record.arrived;
                                  }};
        const auto interruptAt = [&](int step) {
            scene.reset();
            return !runUntilStep(migrate, steps.at(step)).finished &&
                   !OperationJournal::recordPaths().isEmpty();
        };

        QMap<End, int> ends;
        int interrupted = 0;
        int recoveriesKilled = 0;
        // Whether a kill lands while the recovery clears away depends on timing: on a fast machine
        // a round may see the recovery finish first, so it goes on (within a bound) until one did.
        for (int round = 0; round < kRecoveryKills || (recoveriesKilled == 0 && round < 4 * kRecoveryKills);
             ++round) {
            const int step = round % 2;
            if (!interruptAt(step))
                continue;
            ++interrupted;
            // The recovery is killed once it has begun to clear away the tree it removes.
            const QStringList staging = scene.fx.reservedSiblings(scene.source, "staging");
            const QString cleared = step == 0 || staging.isEmpty() ? scene.target : staging.constFirst();
            const int before = entryCount(cleared);
            const Run recovery =
                runOperation({"recover"}, std::nullopt, [&] { return entryCount(cleared) < before; });
            if (!recovery.finished)
                ++recoveriesKilled;
            scene.recover();
            std::optional<End> end;
            VERIFY_END(scene, end,
                       QStringLiteral("migration killed at journal step %1, its recovery after %2 ms")
                           .arg(step)
                           .arg(recovery.elapsedMs));
            ++ends[*end];
        }
        qInfo("recoveries: %d interrupted migrations, %d of their recoveries killed while clearing away; "
              "after the "
              "next start whole at the source %d times, migrated %d times",
              interrupted, recoveriesKilled, ends.value(End::atSource), ends.value(End::migrated));
        QVERIFY(interrupted >= kRecoveryKills / 2);
        QVERIFY(recoveriesKilled > 0);
    }

    // Killed while copying to drive A; at the next start drive B is mounted where A was, with a
    // folder at the target path. B is not touched, the data comes back to the source, and the
    // record waits; once A is back, its partial copy goes.
    void killedMigrationLeavesAnotherDriveAlone()
    {
        Scene scene;
        SKIP_WITHOUT(scene.fx);
        const QStringList migrate{"migrate", scene.source, scene.fx.targetRoot()};
        std::optional<JournalRecord> cut;
        for (int round = 0; round < 20 && !cut; ++round) {
            scene.reset();
            const Run run = runUntilStep(migrate, [&scene](const JournalRecord& record) {
                return record.moving && !record.arrived && entryCount(scene.target) > 100;
            });
            cut = run.finished ? std::nullopt : soleRecord();
            if (cut && cut->arrived)
                cut.reset(); // the copy was whole before the kill landed
        }
        QVERIFY2(cut, "no migration was killed while copying");
        QVERIFY(platform::entryExists(scene.target));
        QCOMPARE(test::snapshotTree(cut->stagingPath), scene.whole);

        QList<RecoveredOperation> recovered;
        {
            SwappedDrive driveB(scene.fx, scene.target);
            QVERIFY(driveB.isValid());
            recovered = scene.recover();
            QCOMPARE(test::snapshotTree(scene.fx.volumePath()), driveB.before);
        }
        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, RecoveredOperation::Outcome::migrationRolledBack);
        QCOMPARE(recovered.constFirst().foundPaths, QStringList{scene.target});
        QCOMPARE(test::snapshotTree(scene.source), scene.whole);
        QVERIFY(!platform::entryExists(cut->stagingPath));
        QCOMPARE(OperationJournal::recordPaths().size(), 1);

        // Drive A is back: its partial copy goes and the record with it.
        QVERIFY(platform::entryExists(scene.target));
        QCOMPARE(scene.recover().constFirst().outcome, RecoveredOperation::Outcome::leftoversCleared);
        std::optional<End> end;
        VERIFY_END(scene, end, "after drive A came back");
        QCOMPARE(*end, End::atSource);
    }

    // An undo killed once the data was back at the source, before the copy on drive A was removed;
    // at the next start drive B (another UUID) stands there with a folder at the target path.
    void killedUndoLeavesAnotherDriveAlone()
    {
        Scene scene;
        SKIP_WITHOUT(scene.fx);
        scene.fx.setVolumeUUID(scene.fx.volumePath(), QStringLiteral("AAAA-1111"));
        std::optional<JournalRecord> cut;
        for (int round = 0; round < 20 && !cut; ++round) {
            scene.reset();
            const auto result = scene.fx.migrate(scene.source);
            QVERIFY2(result.task.status == TaskStatus::completed, qPrintable(test::describe(result)));
            const Run run = runUntilStep({"undo"}, [](const JournalRecord& record) {
                return holdsEntry(record.sourcePath, record.restoreIdentity);
            });
            cut = run.finished ? std::nullopt : soleRecord();
            if (cut && !platform::entryExists(scene.target))
                cut.reset(); // nothing of the copy on the drive was left
        }
        QVERIFY2(cut, "no undo was killed after restoring the data");
        QCOMPARE(cut->volumeUUID, QStringLiteral("AAAA-1111"));

        QList<RecoveredOperation> recovered;
        {
            SwappedDrive driveB(scene.fx, scene.target);
            QVERIFY(driveB.isValid());
            scene.fx.setVolumeUUID(scene.fx.volumePath(), QStringLiteral("BBBB-2222"));
            driveB.before = test::snapshotTree(scene.fx.volumePath());
            recovered = scene.recover();
            QCOMPARE(test::snapshotTree(scene.fx.volumePath()), driveB.before);
        }
        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, RecoveredOperation::Outcome::undoCompleted);
        QCOMPARE(recovered.constFirst().foundPaths, QStringList{scene.target});
        QCOMPARE(test::snapshotTree(scene.source), scene.whole);
        QVERIFY(scene.fx.mappings().isEmpty());
        QCOMPARE(OperationJournal::recordPaths().size(), 1);

        QCOMPARE(scene.recover().constFirst().outcome, RecoveredOperation::Outcome::leftoversCleared);
        std::optional<End> end;
        VERIFY_END(scene, end, "after drive A came back");
        QCOMPARE(*end, End::atSource);
    }
};

QTEST_GUILESS_MAIN(CrashRecoveryTest)
#include "tst_crashrecovery.moc"
