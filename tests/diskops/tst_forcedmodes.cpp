// The forced modes: keeping an occupant aside, merging two directories, and putting a merge back
// when it fails halfway.
#include "diskops/FallbackFileOperations.h"
#include "diskops/ForcedPreparation.h"
#include "diskops/PrivilegedFileOperationService.h"
#include "model/AppPaths.h"
#include "platform/CommandRunner.h"
#include "platform/SymbolicLinks.h"
#include "store/LogService.h"
#include "support/ImmutableFlag.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "support/TreeSnapshot.h"

#include <QTest>

using namespace orvalink;

namespace {

// Runs the administrator commands with a plain shell and counts them.
class CountingShell : public platform::CommandRunner {
public:
    platform::CommandOutcome run(const QString& command) override
    {
        commands.append(command);
        return platform::ProcessCommandRunner("/bin/sh", {"-c"}).run(command);
    }
    QStringList commands;
};

struct Workspace {
    test::TestHome home;
    test::TestTree tree{home.path("w")};
    LogService log{AppPaths::logsFile()};
    std::shared_ptr<CountingShell> shell = std::make_shared<CountingShell>();
    PrivilegedFileOperationService privileged{shell};
    FallbackFileOperations files{privileged, log};
    ForcedPreparation preparation{files};

    QString staging() const { return tree.path(".Item.orvalink-staging-X"); }
    QString target() const { return tree.path("volume/Item"); }
    // Reserved siblings inside `directory` whose name mentions `suffix`.
    QStringList reserved(const QString& directory, const QString& suffix) const
    {
        QStringList found;
        for (const QString& name :
             QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::System)) {
            if (name.contains(".orvalink-" + suffix + "-"))
                found.append(QDir(directory).filePath(name));
        }
        return found;
    }
};

} // namespace

class ForcedModesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void overwriteKeepsTheWholeTargetAside()
    {
        Workspace w;
        w.tree.file(".Item.orvalink-staging-X/new.txt", "new");
        w.tree.file("volume/Item/old.txt", "old");
        w.tree.file("volume/Item/sub/older.txt", "older");
        const QStringList occupant = test::snapshotTree(w.target());

        const PreparationOutcome outcome =
            w.preparation.prepareExistingTarget(w.staging(), w.target(), ForcedMigrationMode::overwrite);

        QVERIFY(!outcome.stagingMergedIntoTarget);
        QCOMPARE(outcome.summary.requestedMode, ForcedMigrationMode::overwrite);
        QCOMPARE(outcome.summary.preservedPaths, w.reserved(w.tree.path("volume"), "target-preserved"));
        QCOMPARE(outcome.summary.preservedPaths.size(), 1);
        QCOMPARE(test::snapshotTree(outcome.summary.preservedPaths[0]), occupant);
        QVERIFY(!QFileInfo::exists(w.target()));
        QVERIFY(!outcome.summary.didAppendMerge);
        QCOMPARE(outcome.summary.mergedIncomingItemCount + outcome.summary.preservedConflictCount, 0);
    }

    void appendWithANonDirectorySideKeepsTheOccupantAside_data()
    {
        QTest::addColumn<bool>("stagedIsFile");
        QTest::newRow("file onto a directory") << true;
        QTest::newRow("directory onto a file") << false;
    }
    void appendWithANonDirectorySideKeepsTheOccupantAside()
    {
        QFETCH(bool, stagedIsFile);
        Workspace w;
        stagedIsFile ? w.tree.file(".Item.orvalink-staging-X", "new")
                     : w.tree.file(".Item.orvalink-staging-X/a");
        stagedIsFile ? w.tree.file("volume/Item/a") : w.tree.file("volume/Item", "old");

        const PreparationOutcome outcome =
            w.preparation.prepareExistingTarget(w.staging(), w.target(), ForcedMigrationMode::append);

        QCOMPARE(outcome.summary.requestedMode, ForcedMigrationMode::append);
        QVERIFY(!outcome.summary.didAppendMerge);
        QVERIFY(!outcome.stagingMergedIntoTarget);
        QCOMPARE(outcome.summary.preservedPaths.size(), 1);
        QVERIFY(outcome.summary.preservedPaths[0].contains(".Item.orvalink-target-preserved-"));
        QVERIFY(!QFileInfo::exists(w.target()));
    }

    void appendMergeCounts_data()
    {
        QTest::addColumn<QStringList>("incoming");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<qint64>("merged");
        QTest::addColumn<qint64>("conflicts");
        QTest::addColumn<QString>("preservedIn"); // where the displaced item is kept, if any
        QTest::newRow("three new files")
            << QStringList{"a", "b", "c"} << QStringList{"keep"} << 3ll << 0ll << "";
        QTest::newRow("file clash") << QStringList{"a"} << QStringList{"a"} << 1ll << 1ll << "";
        QTest::newRow("directory clash counts once plus contents")
            << QStringList{"sub/x", "sub/y"} << QStringList{"sub/z"} << 3ll << 0ll << "";
        QTest::newRow("nested clash")
            << QStringList{"a/b/c.txt"} << QStringList{"a/b/c.txt"} << 3ll << 1ll << "a/b";
        QTest::newRow("file against directory")
            << QStringList{"d"} << QStringList{"d/inner"} << 1ll << 1ll << "";
    }
    void appendMergeCounts()
    {
        QFETCH(QStringList, incoming);
        QFETCH(QStringList, existing);
        QFETCH(qint64, merged);
        QFETCH(qint64, conflicts);
        QFETCH(QString, preservedIn);
        Workspace w;
        for (const QString& name : incoming)
            w.tree.file(".Item.orvalink-staging-X/" + name, "new " + name.toUtf8());
        for (const QString& name : existing)
            w.tree.file("volume/Item/" + name, "old " + name.toUtf8());

        const PreparationOutcome outcome =
            w.preparation.prepareExistingTarget(w.staging(), w.target(), ForcedMigrationMode::append);

        QVERIFY(outcome.stagingMergedIntoTarget);
        QVERIFY(outcome.summary.didAppendMerge);
        QCOMPARE(outcome.summary.mergedIncomingItemCount, merged);
        QCOMPARE(outcome.summary.preservedConflictCount, conflicts);
        QVERIFY(outcome.summary.preservedPaths.isEmpty());
        QVERIFY(!QFileInfo::exists(w.staging()));
        // Incoming items win under their own names; displaced ones wait beside them.
        for (const QString& name : incoming)
            QCOMPARE(w.tree.read("volume/Item/" + name), "new " + name.toUtf8());
        const QString directory = w.target() + (preservedIn.isEmpty() ? QString() : "/" + preservedIn);
        QCOMPARE(w.reserved(directory, "append-preserved").size(), conflicts);
        QVERIFY(w.shell->commands.isEmpty());
    }

    // A link to a directory is an item like a file: a merge never walks into it, so nothing moves
    // into (or out of) the unrelated directory it points to.
    void aMergeNeverWalksIntoALink_data()
    {
        QTest::addColumn<bool>("linkOnTargetSide");
        QTest::newRow("link in the target") << true;
        QTest::newRow("link among the incoming items") << false;
    }
    void aMergeNeverWalksIntoALink()
    {
        QFETCH(bool, linkOnTargetSide);
        Workspace w;
        w.tree.file("elsewhere/keep.txt", "unrelated");
        const QStringList elsewhere = test::snapshotTree(w.tree.path("elsewhere"));
        if (linkOnTargetSide) {
            w.tree.symlink("volume/Item/Docs", w.tree.path("elsewhere"));
            w.tree.file(".Item.orvalink-staging-X/Docs/keep.txt", "incoming");
        } else {
            w.tree.file("volume/Item/Docs/keep.txt", "existing");
            w.tree.symlink(".Item.orvalink-staging-X/Docs", w.tree.path("elsewhere"));
        }

        const PreparationOutcome outcome =
            w.preparation.prepareExistingTarget(w.staging(), w.target(), ForcedMigrationMode::append);

        QCOMPARE(outcome.summary.mergedIncomingItemCount, 1);
        QCOMPARE(outcome.summary.preservedConflictCount, 1);
        QCOMPARE(test::snapshotTree(w.tree.path("elsewhere")), elsewhere);
        const QStringList displaced = w.reserved(w.target(), "append-preserved");
        QCOMPARE(displaced.size(), 1);
        const QString link = linkOnTargetSide ? displaced[0] : w.target() + "/Docs";
        QCOMPARE(platform::readSymbolicLink(link), w.tree.path("elsewhere"));
    }

    // A merge stopped halfway would leave the data split between two places: everything goes back.
    void aFailedMergeIsPutBack()
    {
        Workspace w;
        for (const char* name : {"a.txt", "b.txt", "sub/c.txt", "sub/d.txt"})
            w.tree.file(QStringLiteral(".Item.orvalink-staging-X/") + name, name);
        w.tree.file("volume/Item/a.txt", "old a");
        w.tree.file("volume/Item/sub/e.txt", "old e");
        const QStringList staged = test::snapshotContents(w.staging());
        const QStringList occupant = test::snapshotContents(w.target());
        // The emptied staging directory cannot be removed from its immutable parent, not even by
        // the administrator: the last step of the merge fails.
        test::ImmutableFlag frozen(w.tree.root());
        if (!frozen.isSet())
            QSKIP(qPrintable(frozen.skipReason()));

        QVERIFY_THROWS_EXCEPTION(std::exception, w.preparation.prepareExistingTarget(
                                                     w.staging(), w.target(), ForcedMigrationMode::append));
        frozen.clear();

        QCOMPARE(test::snapshotContents(w.target()), occupant);
        QCOMPARE(test::snapshotContents(w.staging()), staged);
        QVERIFY(w.reserved(w.target(), "append-preserved").isEmpty());
        QCOMPARE(w.shell->commands.size(), 1); // the one administrator attempt of the removal
    }

    void anOccupiedSourceIsClearedForTheLink_data()
    {
        QTest::addColumn<ForcedMigrationMode>("mode");
        QTest::newRow("overwrite") << ForcedMigrationMode::overwrite;
        QTest::newRow("append") << ForcedMigrationMode::append;
    }
    void anOccupiedSourceIsClearedForTheLink()
    {
        QFETCH(ForcedMigrationMode, mode);
        Workspace w;
        w.tree.file("Item/late.txt", "recreated");
        w.tree.file("volume/Item/data.txt", "migrated");

        const ForceMigrationSummary summary =
            w.preparation.prepareOccupiedSource(w.tree.path("Item"), w.target(), mode);

        QVERIFY(!QFileInfo::exists(w.tree.path("Item")));
        if (mode == ForcedMigrationMode::overwrite) {
            QCOMPARE(summary.preservedPaths, w.reserved(w.tree.root(), "source-preserved"));
            QCOMPARE(w.tree.read(QFileInfo(summary.preservedPaths.value(0)).fileName() + "/late.txt"),
                     "recreated");
        } else {
            QVERIFY(summary.didAppendMerge);
            QCOMPARE(summary.mergedIncomingItemCount, 1);
            QCOMPARE(w.tree.read("volume/Item/late.txt"), QByteArray("recreated"));
        }
        QCOMPARE(w.tree.read("volume/Item/data.txt"), QByteArray("migrated"));
    }

    void summariesCombine()
    {
        ForceMigrationSummary first;
        first.requestedMode = ForcedMigrationMode::overwrite;
        first.preservedPaths = {"/b", "/a"};
        first.mergedIncomingItemCount = 2;
        QCOMPARE(mergedForceMigrationSummary(std::nullopt, first), first);

        ForceMigrationSummary second;
        second.requestedMode = ForcedMigrationMode::append;
        second.didAppendMerge = true;
        second.preservedPaths = {"/a", "/c"};
        second.mergedIncomingItemCount = 3;
        second.preservedConflictCount = 1;
        second.removedPlaceholderPaths = {"/p"};
        const ForceMigrationSummary both = mergedForceMigrationSummary(first, second);
        QCOMPARE(both.requestedMode, ForcedMigrationMode::overwrite);
        QVERIFY(both.didAppendMerge);
        QCOMPARE(both.preservedPaths, QStringList({"/a", "/b", "/c"}));
        QCOMPARE(both.mergedIncomingItemCount, 5);
        QCOMPARE(both.preservedConflictCount, 1);
        QCOMPARE(both.removedPlaceholderPaths, QStringList{"/p"});
    }
};

QTEST_GUILESS_MAIN(ForcedModesTest)
#include "tst_forcedmodes.moc"
