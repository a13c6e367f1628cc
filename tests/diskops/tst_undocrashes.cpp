// Forced restores, and undos of data found on a volume that came back under another name, killed
// with SIGKILL at moments spread across their run: after the next start the user's folder or the
// restored data stands at the source path, nothing hidden that the start does not name, nothing lost,
// and no record left.
#include "KilledOperations.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/SymbolicLinks.h"
#include "platform/TreeRemoval.h"
#include "support/MovedMount.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"

#include <QFile>
#include <QMap>
#include <QTest>
#include <memory>

using namespace orvalink;
using namespace orvalink::test;

class UndoCrashesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A forced restore into a folder the user made anew at the source, killed at moments spread over
    // its run: after the next start the user's folder is back at the source with the data still on
    // the volume, or the data is home with the folder merged in (append) or kept whole beside it
    // (overwrite). Nothing half-copied or set aside is left unnamed.
    void killedForcedRestoresEndWhole_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("append") << "append";
        QTest::newRow("overwrite") << "overwrite";
    }

    void killedForcedRestoresEndWhole()
    {
        QFETCH(QString, mode);
        Scene scene;
        SKIP_WITHOUT(scene.fx);
        const QStringList forceUndo{"force-undo", mode};
        const QString preserved = mode == "append" ? "append-preserved" : "overwrite-preserved";
        QStringList occupant;
        const auto prepare = [&] {
            if (platform::entryStatus(scene.source).kind != platform::EntryKind::symbolicLink) {
                scene.reset();
                const auto result = scene.fx.migrate(scene.source);
                QVERIFY2(result.task.status == TaskStatus::completed, qPrintable(test::describe(result)));
            }
            QVERIFY(QFile::remove(scene.source));
            test::TestTree mine(scene.source);
            mine.file("mine.txt", "made after the migration");
            mine.file("dir0/mine-too.txt", "also the user's");
            occupant = test::snapshotTree(scene.source);
        };
        const QStringList wholeContents = test::snapshotContents(scene.golden.root());
        QMap<QString, int> ends;
        const auto check = [&](const QString& when) {
            scene.recover();
            const QString context = QStringLiteral("forced restore killed ") + when;
            QVERIFY2(OperationJournal::recordPaths().isEmpty(), qPrintable(context));
            QVERIFY2(scene.fx.reservedSiblings(scene.source, "restoring").isEmpty(), qPrintable(context));
            QCOMPARE(platform::entryStatus(scene.source).kind, platform::EntryKind::directory);
            const QStringList aside = scene.fx.reservedSiblings(scene.source, preserved);
            if (scene.fx.mappings().size() == 1) {
                ++ends["stopped"];
                QVERIFY2(test::snapshotTree(scene.source) == occupant, qPrintable(context));
                QVERIFY2(aside.isEmpty(), qPrintable(context));
                QVERIFY2(test::snapshotTree(scene.target) == scene.whole, qPrintable(context));
                return;
            }
            ++ends["restored"];
            QVERIFY2(scene.fx.mappings().isEmpty(), qPrintable(context));
            QVERIFY2(!platform::entryExists(scene.target), qPrintable(context));
            if (mode == "append") {
                const QStringList contents = test::snapshotContents(scene.source);
                for (const QString& line : wholeContents)
                    QVERIFY2(contents.contains(line), qPrintable(context + ": " + line));
                QVERIFY2(aside.isEmpty(), qPrintable(context));
                QCOMPARE(platform::readWholeFile(scene.source + "/mine.txt"),
                         QByteArray("made after the migration"));
                QCOMPARE(platform::readWholeFile(scene.source + "/dir0/mine-too.txt"),
                         QByteArray("also the user's"));
            } else {
                QVERIFY2(test::snapshotTree(scene.source) == scene.whole, qPrintable(context));
                QCOMPARE(aside.size(), 1);
                QVERIFY2(test::snapshotTree(aside.constFirst()) == occupant, qPrintable(context));
                platform::removeTree(aside.constFirst());
            }
        };
        prepare();
        const Run full = runOperation(forceUndo, std::nullopt);
        QVERIFY(full.finished);
        check(QStringLiteral("never (it finished)"));

        const QList<Moment> steps{
            // The record's first write, before anything moved: it must tell where the folder goes.
            [](const JournalRecord&) { return true; },
            [](const JournalRecord& record) { return !record.restoreIdentity.isEmpty(); },
            [](const JournalRecord& record) {
                return holdsEntry(record.sourcePath, record.restoreIdentity);
            }};
        const int kills = kKills / 4;
        const KillTally tally = killRepeatedly(forceUndo, full.elapsedMs, steps, prepare, check, kills);
        QVERIFY(!QTest::currentTestFailed());
        qInfo("forced restores (%s): %d killed, %d finished first; after recovery stopped %d times, restored "
              "%d "
              "times",
              qPrintable(mode), tally.kills, tally.finishedFirst, ends.value("stopped"),
              ends.value("restored"));
        QVERIFY2(tally.kills >= kills * 9 / 10, qPrintable(QStringLiteral("only %1 kills").arg(tally.kills)));
        QVERIFY(ends.value("stopped") > 0 && ends.value("restored") > 0);
    }

    // The volume came back under another name; the undo finds the data there by its UUID while the
    // link at home names the old place. Killed at moments spread over its run, the next start ends
    // it one way or the other: the data whole at home, or whole on the volume with the link as it was.
    void killedUndosAfterARemountEndWhole()
    {
        Scene scene;
        SKIP_WITHOUT(scene.fx);
        scene.fx.setVolumeUUID(scene.fx.volumePath(), QStringLiteral("AAAA-1111"));
        const QString renamed = scene.fx.home.volumes() + "/External 1";
        const QString movedTarget = renamed + "/Store" + scene.source;
        const QStringList undo{"undo"};
        std::unique_ptr<test::MovedMount> remounted;
        const auto prepare = [&] {
            remounted.reset(); // the volume back at its first name
            if (platform::entryStatus(scene.source).kind != platform::EntryKind::symbolicLink) {
                scene.reset();
                const auto result = scene.fx.migrate(scene.source);
                QVERIFY2(result.task.status == TaskStatus::completed, qPrintable(test::describe(result)));
            }
            remounted = std::make_unique<test::MovedMount>(scene.fx.volumePath(), renamed,
                                                           test::MovedMount::AtEnd::moveBack);
            QVERIFY(remounted->isValid());
        };
        QMap<QString, int> ends;
        const auto check = [&](const QString& when) {
            scene.recover();
            const QString context = QStringLiteral("undo after a remount killed ") + when;
            QVERIFY2(OperationJournal::recordPaths().isEmpty(), qPrintable(context));
            QVERIFY2(scene.fx.reservedSiblings(scene.source, "restoring").isEmpty(), qPrintable(context));
            if (platform::entryStatus(scene.source).kind == platform::EntryKind::symbolicLink) {
                ++ends["link kept"];
                QCOMPARE(platform::readSymbolicLink(scene.source), std::optional(scene.target));
                QVERIFY2(test::snapshotTree(movedTarget) == scene.whole, qPrintable(context));
                QCOMPARE(scene.fx.mappings().size(), 1);
                return;
            }
            ++ends["home"];
            QVERIFY2(test::snapshotTree(scene.source) == scene.whole, qPrintable(context));
            QVERIFY2(!platform::entryExists(movedTarget), qPrintable(context));
            QVERIFY2(scene.fx.mappings().isEmpty(), qPrintable(context));
        };
        prepare();
        const Run full = runOperation(undo, std::nullopt);
        QVERIFY(full.finished);
        check(QStringLiteral("never (it finished)"));
        QCOMPARE(ends.value("home"), 1);

        const QList<Moment> steps{
            [](const JournalRecord& record) { return !record.restoreSiblingIdentity.isEmpty(); },
            [](const JournalRecord& record) {
                return !record.restoreIdentity.isEmpty();
            }};
        const int kills = kKills / 4;
        const KillTally tally = killRepeatedly(undo, full.elapsedMs, steps, prepare, check, kills);
        remounted.reset();
        QVERIFY(!QTest::currentTestFailed());
        qInfo("undos after a remount: %d killed, %d finished first; after recovery the link kept %d times, "
              "home %d times",
              tally.kills, tally.finishedFirst, ends.value("link kept"), ends.value("home"));
        QVERIFY2(tally.kills >= kills * 9 / 10, qPrintable(QStringLiteral("only %1 kills").arg(tally.kills)));
        QVERIFY(ends.value("link kept") > 0);
    }
};

QTEST_GUILESS_MAIN(UndoCrashesTest)
#include "tst_undocrashes.moc"
