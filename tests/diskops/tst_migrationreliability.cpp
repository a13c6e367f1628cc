// Migrations against real file systems: a tree with every kind of entry survives a migration and
// its undo unchanged, and a volume that runs out of space leaves the source as it was.
#include "EngineFixture.h"
#include "diskops/OperationJournal.h"
#include "diskops/UndoService.h"
#include "platform/FileIO.h"
#include "platform/SymbolicLinks.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"

#include <QDirIterator>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

using namespace orvalink;
using test::EngineFixture;

namespace {

constexpr qint64 kKiB = 1024;

qint64 freeBytes(const QString& path)
{
    struct statvfs info {};
    ::statvfs(QFile::encodeName(path).constData(), &info);
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

} // namespace

class MigrationReliabilityTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void migrationAndUndoRoundTripAnyTree()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        test::TestTree tree(fx.tree.path("Projects"));
        tree.file("files/plain.txt", "plain");
        tree.fileOfSize("files/big.bin", 300 * kKiB);
        tree.sparseFile("files/sparse.img", 4 * 1024 * kKiB);
        tree.file("files/hard-a", "shared content");
        tree.hardLink("files/hard-b", "files/hard-a");
        ::chmod(QFile::encodeName(tree.file("files/secret", "0600")).constData(), 0600);
        tree.symlink("links/relative", "../files/plain.txt");
        tree.symlink("links/dangling", "../nowhere/at/all");
        tree.fifo("special/pipe");
        tree.file("names/it's", "apostrophe");
        tree.file("names/with space", "space");
        tree.file("names/new\nline", "newline");
        tree.file("names/-leading", "dash");
        tree.dir("names/empty dir");
        test::stampDistinctTimes(tree.root());
        const QStringList before = test::snapshotTree(tree.root());

        const auto migrated = fx.migrate(tree.root());
        QVERIFY2(migrated.task.status == TaskStatus::completed, qPrintable(test::describe(migrated)));
        const QString target = fx.targetOf(tree.root());
        QCOMPARE(test::snapshotTree(target), before);
        QCOMPARE(platform::readSymbolicLink(tree.root()), target);

        fx.undoNewest("user");
        QCOMPARE(test::snapshotTree(tree.root()), before);
        QVERIFY(!platform::entryExists(target));
        QVERIFY(fx.runner->commands.isEmpty());
        // The folders that mirrored the source's parents on the volume go with it; the target root
        // stays, and nothing of the undo is left beside the source.
        QVERIFY(!platform::entryExists(target.section('/', 0, -2)));
        QVERIFY(platform::entryExists(fx.targetRoot()));
        QVERIFY(fx.reservedSiblings(tree.root(), "restoring").isEmpty());
        QVERIFY(OperationJournal::recordPaths().isEmpty());
    }

    // The volume fills up while the data is on its way (another program writes to it after the
    // space check): the migration rolls back and leaves no partial tree behind.
    void volumeFullHalfwayRollsBack()
    {
        EngineFixture fx(EngineFixture::Volume::tmpfs, 4 * 1024 * kKiB);
        SKIP_WITHOUT(fx);
        for (int i = 0; i < 6; ++i)
            fx.tree.fileOfSize(QStringLiteral("Videos/part%1.bin").arg(i), 512 * kKiB);
        const QString source = fx.tree.path("Videos");
        const QString target = fx.targetOf(source);
        const QStringList before = test::snapshotTree(source);
        const auto staged = [&](const QString&, const QString&) {
            test::TestTree(fx.volumePath())
                .fileOfSize("filler.bin", freeBytes(fx.volumePath()) - 1024 * kKiB);
        };

        const auto result = fx.engine(staged).migrate(source, fx.config(), std::nullopt, false);

        QCOMPARE(result.task.errorCode, QStringLiteral("E008"));
        QCOMPARE(result.task.status, TaskStatus::rolledBack);
        QVERIFY(result.task.errorMessage->startsWith("Failed to move " + source + " to " + target + ": "));
        QVERIFY(result.task.errorMessage->contains("No space left on device"));
        QCOMPARE(test::snapshotTree(source), before);
        QVERIFY(!platform::entryExists(target));
        QVERIFY(fx.reservedSiblings(target, "rollback-conflict").isEmpty());
        QVERIFY(fx.reservedSiblings(source, "staging").isEmpty());
    }

    // A volume that reports no free space at all does not block the migration (the figure is taken
    // as unknown); the copy then fails and rolls back.
    void noFreeSpaceFigureNeverBlocks()
    {
        EngineFixture fx(EngineFixture::Volume::tmpfs, 1024 * kKiB);
        SKIP_WITHOUT(fx);
        fx.tree.fileOfSize("Docs/a.bin", 64 * kKiB);
        test::TestTree(fx.volumePath()).fileOfSize("Store/filler.bin", freeBytes(fx.volumePath()));
        QCOMPARE(freeBytes(fx.volumePath()), 0);
        const QStringList before = test::snapshotTree(fx.tree.path("Docs"));

        const auto result = fx.migrate(fx.tree.path("Docs"));

        QCOMPARE(result.task.errorCode, QStringLiteral("E008"));
        QVERIFY(result.task.status == TaskStatus::rolledBack || result.task.status == TaskStatus::failed);
        QCOMPARE(test::snapshotTree(fx.tree.path("Docs")), before);
    }
};

QTEST_GUILESS_MAIN(MigrationReliabilityTest)
#include "tst_migrationreliability.moc"
