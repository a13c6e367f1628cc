// Retried migrations in a forced mode: over an occupied target and over a recreated source, and a
// forced merge that fails halfway.
#include "EngineFixture.h"
#include "platform/SymbolicLinks.h"
#include "support/ImmutableFlag.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"

#include <QTest>

using namespace orvalink;
using test::EngineFixture;

class ForcedMigrationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void forcedOverwriteKeepsTheOccupant()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Music/new.mp3", "new");
        const QString source = fx.tree.path("Music");
        const QString target = fx.targetOf(source);
        test::TestTree(target).file("old.mp3", "old");
        const QStringList incoming = test::snapshotTree(source);
        const QStringList occupant = test::snapshotTree(target);

        const auto result = fx.engine().migrate(source, fx.config(), ForcedMigrationMode::overwrite, false);

        QVERIFY2(result.task.status == TaskStatus::completed, qPrintable(test::describe(result)));
        const ForceMigrationSummary& summary = *result.forceMigrationSummary;
        QCOMPARE(summary.requestedMode, ForcedMigrationMode::overwrite);
        QCOMPARE(summary.preservedPaths, fx.reservedSiblings(target, "target-preserved"));
        QCOMPARE(test::snapshotTree(summary.preservedPaths.value(0)), occupant);
        QCOMPARE(test::snapshotTree(target), incoming);
        QCOMPARE(platform::readSymbolicLink(source), target);
    }

    void forcedAppendMergesIntoTheOccupant()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Music/a.mp3", "new a");
        fx.tree.file("Music/b.mp3", "new b");
        const QString source = fx.tree.path("Music");
        const QString target = fx.targetOf(source);
        test::TestTree occupant(target);
        occupant.file("a.mp3", "old a");
        occupant.file("keep.mp3", "kept");

        const auto result = fx.engine().migrate(source, fx.config(), ForcedMigrationMode::append, false);

        QVERIFY2(result.task.status == TaskStatus::completed, qPrintable(test::describe(result)));
        const ForceMigrationSummary& summary = *result.forceMigrationSummary;
        QVERIFY(summary.didAppendMerge);
        QCOMPARE(summary.mergedIncomingItemCount, 2);
        QCOMPARE(summary.preservedConflictCount, 1);
        QCOMPARE(occupant.read("a.mp3"), QByteArray("new a"));
        QCOMPARE(occupant.read("keep.mp3"), QByteArray("kept"));
        const QStringList displaced = fx.reservedSiblings(target + "/a.mp3", "append-preserved");
        QCOMPARE(displaced.size(), 1);
        QCOMPARE(occupant.read(QFileInfo(displaced[0]).fileName()), QByteArray("old a"));
        QVERIFY(fx.reservedSiblings(source, "staging").isEmpty());
        QCOMPARE(platform::readSymbolicLink(source), target);
    }

    void forcedLinkOverARecreatedSource_data()
    {
        QTest::addColumn<ForcedMigrationMode>("mode");
        QTest::newRow("append merges the recreated items") << ForcedMigrationMode::append;
        QTest::newRow("overwrite keeps them aside") << ForcedMigrationMode::overwrite;
    }
    void forcedLinkOverARecreatedSource()
    {
        QFETCH(ForcedMigrationMode, mode);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Music/a.mp3", "a");
        const QString source = fx.tree.path("Music");
        const QString target = fx.targetOf(source);
        const auto arrived = [&](const QString&, const QString&, const QString&) {
            fx.tree.file("Music/late.mp3", "written meanwhile");
        };

        const auto result = fx.engine({}, arrived).migrate(source, fx.config(), mode, false);

        QVERIFY2(result.task.status == TaskStatus::completed, qPrintable(test::describe(result)));
        QCOMPARE(platform::readSymbolicLink(source), target);
        const ForceMigrationSummary& summary = *result.forceMigrationSummary;
        QCOMPARE(summary.requestedMode, mode);
        if (mode == ForcedMigrationMode::append) {
            QVERIFY(summary.didAppendMerge);
            QCOMPARE(summary.mergedIncomingItemCount, 1);
            QCOMPARE(test::TestTree(target).read("late.mp3"), QByteArray("written meanwhile"));
        } else {
            QCOMPARE(summary.preservedPaths, fx.reservedSiblings(source, "source-preserved"));
            QCOMPARE(test::TestTree(summary.preservedPaths.value(0)).read("late.mp3"),
                     QByteArray("written meanwhile"));
        }
    }

    // The merge into the occupant cannot finish (its last step is refused): it is put back, the
    // source comes home whole, and the occupant is kept whole beside the target.
    void failedForcedMergeLeavesBothSidesWhole()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        for (const char* name : {"a.mp3", "b.mp3", "sub/c.mp3"})
            fx.tree.file(QStringLiteral("Music/") + name, name);
        const QString source = fx.tree.path("Music");
        const QString target = fx.targetOf(source);
        test::TestTree occupant(target);
        occupant.file("a.mp3", "old a");
        occupant.file("sub/d.mp3", "old d");
        const QStringList incoming = test::snapshotContents(source);
        const QStringList occupied = test::snapshotContents(target);
        std::optional<test::ImmutableFlag> frozen;
        const auto staged = [&](const QString&, const QString&) {
            frozen.emplace(fx.tree.root());
        };
        // The emptied staging directory cannot go; the administrator prompt is dismissed.
        fx.runner->before = [&](const QString& command) -> std::optional<platform::CommandOutcome> {
            frozen.reset();
            return command.startsWith("/bin/rm") ? std::optional(test::refusedOutcome()) : std::nullopt;
        };

        const auto result =
            fx.engine(staged).migrate(source, fx.config(), ForcedMigrationMode::append, false);
        if (frozen && !frozen->isSet())
            QSKIP(qPrintable(frozen->skipReason()));

        QCOMPARE(result.task.errorCode, QStringLiteral("E008"));
        QCOMPARE(result.task.status, TaskStatus::rolledBack);
        QVERIFY(!result.forceMigrationSummary);
        QCOMPARE(test::snapshotContents(source), incoming);
        const QStringList kept = fx.reservedSiblings(target, "rollback-conflict");
        QCOMPARE(kept.size(), 1);
        QCOMPARE(test::snapshotContents(kept[0]), occupied);
        QVERIFY(result.task.errorMessage->contains(" What stood at the target path was preserved at: " +
                                                   kept[0]));
    }
};

QTEST_GUILESS_MAIN(ForcedMigrationTest)
#include "tst_forcedmigration.moc"
