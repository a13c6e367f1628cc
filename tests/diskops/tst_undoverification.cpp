// An undo acts only on the item its migration made: a volume whose folders were swapped, a record
// that names no migrated item, a volume that is not the one the migration used are refused with
// nothing changed and the record kept; a volume back under another name after a repair is undone
// where the data is now.
#include "EngineFixture.h"
#include "diskops/LinkRepairService.h"
#include "diskops/OperationJournal.h"
#include "diskops/UndoService.h"
#include "model/OrvalinkError.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/SymbolicLinks.h"
#include "store/JSONLStore.h"
#include "support/MovedMount.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"

#include <QTest>
#include <optional>
#include <unistd.h>

using namespace orvalink;
using test::EngineFixture;

namespace {

// The code of the error the undo throws, with its reason; "no error" when it succeeds.
QString refusalOf(EngineFixture& fx)
{
    try {
        fx.undoNewest("user");
    } catch (const OrvalinkError& error) {
        return error.code() + QLatin1Char(' ') + error.reason();
    }
    return QStringLiteral("no error");
}

// How an attacker who can write on the volume (or a disk prepared elsewhere) changes what the
// record's target path leads to.
enum class Swap {
    folderAboveTargetIsALink, // renamed aside, a link to a folder with an entry of that name put there
    targetIsALink,            // the target itself renamed aside and a link put in its place
    volumeIsAnotherOne,       // the volume at the mount point is not the one the migration used
    anotherDiskWithoutUUID,   // the migration's volume is away; a disk without a UUID, same paths
    uuidCannotBeRead,         // the migration named a UUID; the volume there now has none to read
    targetOfAnotherUser,      // the folder at the target belongs to another user
};

} // namespace

Q_DECLARE_METATYPE(Swap)

class UndoVerificationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void swappedVolumeIsRefused_data()
    {
        QTest::addColumn<Swap>("swap");
        QTest::newRow("the folder above the target is a link") << Swap::folderAboveTargetIsALink;
        QTest::newRow("the target is a link") << Swap::targetIsALink;
        QTest::newRow("another volume at the mount point") << Swap::volumeIsAnotherOne;
        QTest::newRow("another disk without a UUID at the mount point") << Swap::anotherDiskWithoutUUID;
        QTest::newRow("the volume's UUID cannot be read") << Swap::uuidCannotBeRead;
        QTest::newRow("the target belongs to another user") << Swap::targetOfAnotherUser;
    }
    void swappedVolumeIsRefused()
    {
        QFETCH(Swap, swap);
        if (swap == Swap::targetOfAnotherUser && ::geteuid() != 0)
            QSKIP("a folder of another user can only be made as root (chown)");
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.setVolumeUUID(fx.volumePath(), "MIGRATED-HERE");
        fx.tree.file("Documents/big/own.txt", "the user's own data");
        const QString source = fx.tree.path("Documents/big");
        const QString target = fx.targetOf(source);
        QCOMPARE(fx.migrate(source).task.status, TaskStatus::completed);
        const QList<LinkMapping> recorded = fx.mappings();
        // Another folder on the volume, holding an entry of the same name.
        test::TestTree elsewhere(fx.volumePath() + "/elsewhere");
        elsewhere.file("big/theirs.txt", "someone else's");
        const QString parent = target.section('/', 0, -2);
        std::optional<test::MovedMount> away;
        std::optional<test::TmpfsMount> anotherDisk;
        switch (swap) {
        case Swap::folderAboveTargetIsALink:
            platform::renameNoReplace(parent, parent + ".renamed");
            QVERIFY(QFile::link(elsewhere.root(), parent));
            break;
        case Swap::targetIsALink:
            platform::renameNoReplace(target, target + ".renamed");
            QVERIFY(QFile::link(elsewhere.path("big"), target));
            break;
        case Swap::volumeIsAnotherOne:
            fx.setVolumeUUID(fx.volumePath(), "ANOTHER-ONE");
            break;
        case Swap::anotherDiskWithoutUUID:
            // Kept mounted elsewhere, so that the other disk cannot get its device number.
            away.emplace(fx.volumePath(), fx.home.path("away"));
            QVERIFY(away->isValid());
            anotherDisk.emplace(fx.volumePath(), 1024 * 1024);
            QVERIFY(anotherDisk->isValid());
            for (int file = 0; file < 20; ++file)
                test::TestTree(target).file(QStringLiteral("disk-%1.txt").arg(file), "another disk's");
            break;
        case Swap::uuidCannotBeRead:
            QVERIFY(QDir(fx.home.path("devices/udev")).removeRecursively());
            break;
        case Swap::targetOfAnotherUser:
            QCOMPARE(::lchown(QFile::encodeName(target).constData(), 65534, 65534), 0);
            break;
        }
        const QStringList volumeBefore = test::snapshotTree(fx.volumePath());

        const QString refusal = refusalOf(fx);

        QVERIFY2(refusal.startsWith("E019 "), qPrintable(refusal));
        QCOMPARE(test::snapshotTree(fx.volumePath()), volumeBefore);
        QCOMPARE(platform::readSymbolicLink(source), target);
        QCOMPARE(fx.mappings(), recorded);
        QVERIFY(OperationJournal::recordPaths().isEmpty());
        QVERIFY(fx.logEntries().constLast().message.startsWith("Undo refused, nothing was changed ("));
    }

    // Records as a cloud restore could install them: nothing a migration made stands at their
    // targets, so nothing is moved into the home.
    void recordsNamingNoMigratedItemAreRefused_data()
    {
        QTest::addColumn<QString>("target"); // "@home" and "@volumes" stand for those folders
        QTest::newRow("an ordinary folder in the home") << "@home/Elsewhere/Docs";
        QTest::newRow("a folder where nothing is mounted") << "@volumes/NotMounted/Store@source";
        QTest::newRow("a folder on the volume, not below a target root") << "@volumes/External/Docs";
    }
    void recordsNamingNoMigratedItemAreRefused()
    {
        QFETCH(QString, target);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        target.replace("@source", source)
            .replace("@home", fx.tree.root())
            .replace("@volumes", fx.home.volumes());
        test::TestTree(target).file("data.txt", "not the user's migration");
        const QStringList before = test::snapshotTree(target);
        const LinkMapping foreign{QUuid::createUuid(),
                                  source,
                                  target,
                                  "user",
                                  "unknown",
                                  QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC),
                                  QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC)};
        JSONLStore::writeAll(QList<LinkMapping>{foreign}, fx.mappingStore.filePath());

        const QString refusal = refusalOf(fx);

        QVERIFY2(refusal.startsWith("E019 "), qPrintable(refusal));
        QCOMPARE(test::snapshotTree(target), before);
        QVERIFY(!platform::entryExists(source));
        QCOMPARE(fx.mappings(), QList<LinkMapping>{foreign});
    }

    // A repair points the link at the volume's new name and leaves the record as it was; the undo
    // finds the data there.
    void undoAfterARepairFindsTheVolumeUnderItsNewName()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.setVolumeUUID(fx.volumePath(), "COMES-BACK");
        fx.tree.file("Docs/a.txt", "docs");
        fx.tree.file("Docs/sub/b.txt", "more");
        const QString source = fx.tree.path("Docs");
        const QStringList docs = test::snapshotTree(source);
        QCOMPARE(fx.migrate(source).task.status, TaskStatus::completed);
        const QString renamed = fx.home.volumes() + "/Renamed";
        const test::MovedMount moved(fx.volumePath(), renamed);
        QVERIFY(moved.isValid());
        QCOMPARE(LinkRepairService(fx.mappingStore, fx.volumes, fx.log, fx.pathMapping)
                     .repairBrokenLinks()
                     .fixedCount,
                 1);
        QCOMPARE(fx.mappings().constFirst().targetPath, fx.targetOf(source));

        const UndoResult result = fx.undoNewest("user");

        QCOMPARE(result.mapping.targetPath, fx.targetOf(source));
        QCOMPARE(platform::entryStatus(source).kind, platform::EntryKind::directory);
        QCOMPARE(test::snapshotTree(source), docs);
        QVERIFY(!platform::entryExists(renamed + "/Store" + source));
        QVERIFY(fx.mappings().isEmpty());
        QCOMPARE(fx.tasks().constLast().status, TaskStatus::rolledBack);
    }
};

QTEST_GUILESS_MAIN(UndoVerificationTest)
#include "tst_undoverification.moc"
