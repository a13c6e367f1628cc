// Link repair trusts only the volume and the item the migration used: a link that leads into another
// disk mounted under the volume's old name is pointed at the volume where it is now; a new target
// that is not the migrated item (a link planted on the volume, another user's folder) is refused,
// as an undo refuses it; a record whose paths are not where a migration puts them is not acted on,
// by repair, undo or the cloud restore.
#include "EngineFixture.h"
#include "diskops/LinkRepairService.h"
#include "diskops/OperationJournal.h"
#include "diskops/UndoCheck.h"
#include "diskops/UndoService.h"
#include "model/OrvalinkError.h"
#include "platform/FileIO.h"
#include "platform/SymbolicLinks.h"
#include "store/JSONLStore.h"
#include "support/MovedMount.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"

#include <QTest>
#include <functional>
#include <optional>
#include <unistd.h>

using namespace orvalink;
using test::EngineFixture;
using test::MovedMount;

namespace {

LinkRepairService repairServiceOf(EngineFixture& fx)
{
    return LinkRepairService(fx.mappingStore, fx.volumes, fx.log, fx.pathMapping);
}

// The code of the error `call` throws, with its reason; "no error" when it throws none.
QString refusalOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const OrvalinkError& error) {
        return error.code() + QLatin1Char(' ') + error.reason();
    }
    return QStringLiteral("no error");
}

QString undoRefusalOf(EngineFixture& fx)
{
    return refusalOf([&] { fx.undoNewest("user"); });
}

// The last "Link not repaired" line of the log, or an empty text.
QString notRepairedLine(EngineFixture& fx)
{
    const QList<LogEntry> entries = fx.logEntries();
    for (auto entry = entries.crbegin(); entry != entries.crend(); ++entry) {
        if (entry->message.startsWith(QStringLiteral("Link not repaired: ")))
            return entry->message;
    }
    return QString();
}

// A migrated folder "Docs" on the fixture's volume, recorded with a UUID.
QString migrateDocs(EngineFixture& fx)
{
    fx.setVolumeUUID(fx.volumePath(), "MIGRATED-HERE");
    fx.tree.file("Docs/own.txt", "the user's own");
    const QString source = fx.tree.path("Docs");
    if (fx.migrate(source).task.status != TaskStatus::completed)
        qFatal("the migration failed");
    return source;
}

// What a planted way on the volume leads the new target to instead of the migrated item.
enum class Plant { targetIsALink, folderAboveTargetIsALink, targetOfAnotherUser };

} // namespace

Q_DECLARE_METATYPE(Plant)

class RepairVerificationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The volume comes back as "External 1" while another disk stands at "External" holding the same
    // path: the link leads into that disk, so it is not healthy.
    void aLinkIntoAnotherDiskIsPointedAtTheRecordedVolume_data()
    {
        QTest::addColumn<bool>("volumeIsBack");
        QTest::newRow("the volume is back under another name") << true;
        QTest::newRow("the volume is away") << false;
    }
    void aLinkIntoAnotherDiskIsPointedAtTheRecordedVolume()
    {
        QFETCH(bool, volumeIsBack);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = migrateDocs(fx);
        const QString movedTo = volumeIsBack ? fx.home.volumes() + "/External 1" : fx.home.path("away");
        const MovedMount moved(fx.volumePath(), movedTo);
        QVERIFY(moved.isValid());
        const test::TmpfsMount anotherDisk(fx.volumePath(), 1024 * 1024);
        QVERIFY(anotherDisk.isValid());
        fx.setVolumeUUID(anotherDisk.mountPoint(), "SOMEONE-ELSE");
        test::TestTree(fx.targetOf(source)).file("theirs.txt", "another disk's");
        QVERIFY(platform::fileExists(source + "/theirs.txt")); // programs would write there
        const QStringList diskBefore = test::snapshotTree(anotherDisk.mountPoint());

        const RepairSummary summary = repairServiceOf(fx).repairBrokenLinks();

        QCOMPARE(test::snapshotTree(anotherDisk.mountPoint()), diskBefore);
        if (volumeIsBack) {
            QCOMPARE(test::countsOf(summary), (RepairSummary{1, 0, 1, 1, {}}));
            QCOMPARE(platform::readSymbolicLink(source), movedTo + "/Store" + source);
            QCOMPARE(test::TestTree(source).read("own.txt"), QByteArray("the user's own"));
            // Now it leads to the data: healthy.
            QCOMPARE(test::countsOf(repairServiceOf(fx).repairBrokenLinks()),
                     (RepairSummary{0, 0, 1, 1, {}}));
        } else {
            QCOMPARE(test::countsOf(summary), (RepairSummary{0, 1, 1, 1, {}}));
            QCOMPARE(platform::readSymbolicLink(source), fx.targetOf(source));
            QVERIFY(notRepairedLine(fx).contains("MIGRATED-HERE is not mounted"));
        }
    }

    // On the volume, back under another name, the way to the migrated folder was changed; repair
    // reaches the new target from the volume's root without following links and checks it as an
    // undo does, and both leave everything as it is.
    void aPlantedTargetIsRefusedByRepairAndUndo_data()
    {
        QTest::addColumn<Plant>("plant");
        QTest::newRow("the target is a link") << Plant::targetIsALink;
        QTest::newRow("the folder above the target is a link") << Plant::folderAboveTargetIsALink;
        QTest::newRow("the target belongs to another user") << Plant::targetOfAnotherUser;
    }
    void aPlantedTargetIsRefusedByRepairAndUndo()
    {
        QFETCH(Plant, plant);
        if (plant == Plant::targetOfAnotherUser && ::geteuid() != 0)
            QSKIP("a folder of another user can only be made as root (chown)");
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = migrateDocs(fx);
        const QString renamed = fx.home.volumes() + "/Renamed";
        const MovedMount moved(fx.volumePath(), renamed);
        QVERIFY(moved.isValid());
        const QString newTarget = renamed + "/Store" + source;
        const QString parent = newTarget.section('/', 0, -2);
        test::TestTree elsewhere(renamed + "/elsewhere");
        elsewhere.file("Docs/theirs.txt", "someone else's");
        switch (plant) {
        case Plant::targetIsALink:
            platform::renameNoReplace(newTarget, newTarget + ".renamed");
            QVERIFY(QFile::link(elsewhere.path("Docs"), newTarget));
            break;
        case Plant::folderAboveTargetIsALink:
            platform::renameNoReplace(parent, parent + ".renamed");
            QVERIFY(QFile::link(elsewhere.root(), parent));
            break;
        case Plant::targetOfAnotherUser:
            QCOMPARE(::lchown(QFile::encodeName(newTarget).constData(), 65534, 65534), 0);
            break;
        }
        const QStringList volumeBefore = test::snapshotTree(renamed);

        QCOMPARE(test::countsOf(repairServiceOf(fx).repairBrokenLinks()), (RepairSummary{0, 1, 1, 1, {}}));
        QCOMPARE(platform::readSymbolicLink(source), fx.targetOf(source));
        QVERIFY(!notRepairedLine(fx).isEmpty());

        const QString refusal = undoRefusalOf(fx);
        QVERIFY2(refusal.startsWith("E019 "), qPrintable(refusal));
        QCOMPARE(test::snapshotTree(renamed), volumeBefore);
        QCOMPARE(fx.mappings().size(), 1);
    }

    // A disk and its clone carry one UUID. Neither repair nor undo can tell which of them holds the
    // data (the clone's copy is older), so both leave the link, the record and both volumes as they
    // are, and say why, naming both places.
    void twoVolumesWithOneUUIDAreRefusedByRepairAndUndo_data()
    {
        QTest::addColumn<bool>("volumeRenamed");
        QTest::newRow("the volume back as External 1, the clone at its old name") << true;
        QTest::newRow("the volume at its old name, the clone at External 1") << false;
    }
    void twoVolumesWithOneUUIDAreRefusedByRepairAndUndo()
    {
        QFETCH(bool, volumeRenamed);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = migrateDocs(fx);
        const QString other = fx.home.volumes() + "/External 1";
        std::optional<MovedMount> moved;
        if (volumeRenamed) {
            moved.emplace(fx.volumePath(), other);
            QVERIFY(moved->isValid());
        }
        const QString volume = volumeRenamed ? other : fx.volumePath();
        const auto clone = fx.mountClone(volume, volumeRenamed ? fx.volumePath() : other, "MIGRATED-HERE");
        QVERIFY(clone->isValid());
        const QString data = volume + "/Store" + source;
        test::TestTree(data).file("own.txt", "the newest edit");
        QVERIFY(QFile::remove(source) && QFile::link(data, source)); // the link leads to the data
        const QStringList volumeBefore = test::snapshotTree(volume);
        const QStringList cloneBefore = test::snapshotTree(clone->mountPoint());
        QVERIFY(volumeBefore != cloneBefore);
        const QList<LinkMapping> recorded = fx.mappings();
        const QString bothPlaces = fx.volumePath() + " and " + other + " carry the same UUID MIGRATED-HERE";

        QCOMPARE(test::countsOf(repairServiceOf(fx).repairBrokenLinks()), (RepairSummary{0, 1, 1, 1, {}}));
        QCOMPARE(platform::readSymbolicLink(source), data);
        QVERIFY2(notRepairedLine(fx).contains(bothPlaces), qPrintable(notRepairedLine(fx)));

        const QString refusal = undoRefusalOf(fx);
        QVERIFY2(refusal.startsWith("E019 ") && refusal.contains(bothPlaces), qPrintable(refusal));
        QVERIFY(fx.logEntries().constLast().message.startsWith(
            "Undo refused, nothing was changed (the volumes at " + bothPlaces));
        QCOMPARE(platform::readSymbolicLink(source), data);
        QCOMPARE(test::snapshotTree(volume), volumeBefore);
        QCOMPARE(test::snapshotTree(clone->mountPoint()), cloneBefore);
        QCOMPARE(fx.mappings(), recorded);
        QVERIFY(OperationJournal::recordPaths().isEmpty());

        // So does the last look before either acts: a clone may be plugged in after the volume was
        // looked up.
        JournalRecord check = undoRecordOf(recorded.constFirst(), source, data, fx.mappingStore.filePath(),
                                           fx.taskStore.filePath());
        const QString lastLook = refusalOf([&] { verifyUndoTarget(check, fx.volumes); });
        QVERIFY2(lastLook.startsWith("E019 ") && lastLook.contains(bothPlaces), qPrintable(lastLook));
    }

    // A record whose source is outside the home, its target shaped like a migration's: written
    // locally, nothing acts on it; from the cloud it does not even enter the history (see
    // tst_cloudsync).
    void aRecordOutsideThePlaceRulesIsNotActedOn()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.setVolumeUUID(fx.volumePath(), "KNOWN");
        const QString source = fx.home.path("outside/Docs");
        const QString oldTarget = fx.home.volumes() + "/Old/Store" + source;
        test::TestTree(fx.targetOf(source)).file("data.txt", "not the user's migration");
        test::TestTree(fx.home.path("outside")).symlink("Docs", oldTarget);
        const QDateTime date = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        JSONLStore::writeAll(
            QList<LinkMapping>{{QUuid::createUuid(), source, oldTarget, "user", "KNOWN", date, date}},
            fx.mappingStore.filePath());
        const QStringList volumeBefore = test::snapshotTree(fx.volumePath());

        QCOMPARE(test::countsOf(repairServiceOf(fx).repairBrokenLinks()), (RepairSummary{0, 1, 1, 1, {}}));
        QCOMPARE(platform::readSymbolicLink(source), oldTarget);
        QVERIFY2(notRepairedLine(fx).contains("outside the home"), qPrintable(notRepairedLine(fx)));

        const QString refusal = undoRefusalOf(fx);
        QVERIFY2(refusal.startsWith("E019 ") && refusal.contains("outside the home"), qPrintable(refusal));
        QCOMPARE(test::snapshotTree(fx.volumePath()), volumeBefore);
        QCOMPARE(platform::readSymbolicLink(source), oldTarget);
    }
};

QTEST_GUILESS_MAIN(RepairVerificationTest)
#include "tst_repairverification.moc"
