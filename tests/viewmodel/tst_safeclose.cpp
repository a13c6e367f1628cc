#include "AccountFixture.h"
#include "WorkflowFixture.h"
#include "platform/SymbolicLinks.h"
#include "support/HoldingProcess.h"
#include "support/SkipWithout.h"
#include "support/TaskRunner.h"
#include "support/TreeSnapshot.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/flow/DetachedFlow.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

namespace {

// Lets every continuation already queued run: the finished-work notifications of the background
// runner, and the zero-interval timers the flows they resume post in turn. Nothing waits on time.
void runQueuedEvents()
{
    for (int round = 0; round < 20; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

} // namespace

class SafeCloseTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void closesAtOnceWithoutDiskWork()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        QVERIFY(!vm->hasRunningDiskWork());
        QVERIFY(vm->runningDiskWorkText().isEmpty());
        runTask(vm->prepareToClose(), std::chrono::seconds(1));

        // Closed: nothing starts any more, not even a migration of a valid selection.
        const QString folder = fx.tree.fileOfSize("Kept/data.bin", 4096).section('/', 0, -2);
        ViewModelInternals::context(*vm).browsing().setSelectedPaths({folder});
        runTask(vm->workflows().migrateSelectedItems());
        QVERIFY(!vm->activity().isMigrating());
        QVERIFY(QFileInfo(folder).isDir() && !QFileInfo(folder).isSymLink());
    }

    // What the window asks about before it closes, for each kind of disk work.
    void runningWorkIsNamed_data()
    {
        QTest::addColumn<QString>("work");
        QTest::addColumn<QString>("textStart");
        QTest::newRow("migration") << "migration"
                                   << "A migration is running.";
        QTest::newRow("undo") << "undo"
                              << "An undo is running.";
        QTest::newRow("repair") << "repair"
                                << "A link repair is running.";
    }

    void runningWorkIsNamed()
    {
        QFETCH(QString, work);
        QFETCH(QString, textStart);
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        ActivityState& activity = ViewModelInternals::context(*vm).activity();
        activity.setDiskWork(work == "migration" ? DiskWork::migration
                             : work == "undo"    ? DiskWork::undo
                                                 : DiskWork::linkRepair);
        QVERIFY(vm->hasRunningDiskWork());
        QVERIFY2(vm->runningDiskWorkText().startsWith(textStart), qPrintable(vm->runningDiskWorkText()));
    }

    // The user closes the window (or it is destroyed) while the first of two items is on its way to
    // the other file system (held by the copy gate after its staging): that item ends whole in one
    // place, the second never starts, and nothing runs on freed memory afterwards (checked by the
    // sanitizer build).
    void closeDuringMigration_data()
    {
        QTest::addColumn<bool>("destroyAtOnce");
        QTest::newRow("prepared close, then destroyed") << false;
        QTest::newRow("destroyed while running") << true;
    }

    void closeDuringMigration()
    {
        QFETCH(bool, destroyAtOnce);
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const auto [first, second, firstBefore, secondBefore] = makeTwoFolderBatch(w);
        QVERIFY(startHeldMigration(w, {first, second}));
        MainViewModel& vm = w.vm();
        QCOMPARE(vm.activity().migrationCurrentPath(), std::optional(first));
        QVERIFY(vm.hasRunningDiskWork());
        QVERIFY(vm.runningDiskWorkText().startsWith("A migration is running."));

        if (destroyAtOnce) {
            // The engine goes on while the state object waits for it in its destructor.
            w.copyGate->open();
            w.viewModel.reset();
        } else {
            auto closing = vm.prepareToClose();
            w.copyGate->open();
            runTask(std::move(closing), std::chrono::seconds(60));
            w.viewModel.reset();
        }
        runQueuedEvents();

        // The running item finished with its link; the second one never started.
        const QString target = w.targetOf(first);
        QCOMPARE(platform::readSymbolicLink(first), std::optional(target));
        QCOMPARE(snapshotTree(target), firstBefore);
        const QString secondProblem = neverMigrated(w, second, secondBefore);
        QVERIFY2(secondProblem.isEmpty(), qPrintable(secondProblem));

        // A new window finds the history as the engine left it.
        auto reopened = w.fx.makeViewModel();
        const QList<LinkMapping>& mappings = reopened->history().migratedMappings();
        QCOMPARE(mappings.size(), 1);
        QCOMPARE(mappings.first().sourcePath, first);
        QCOMPARE(mappings.first().targetPath, target);
    }

    // The window closes while a batch runs, after the listing (and its cache) measured the folders,
    // or before it ever listed the folder that moved (made after the listing was cached): the next
    // start lists that folder as its link, counts nothing for it, finds it by a search, and lets it
    // be chosen as migrated, not as the folder it was.
    void aFolderMovedBeforeTheCloseShowsAsItsLinkAtTheNextStart_data()
    {
        QTest::addColumn<bool>("madeAfterTheListing");
        QTest::newRow("measured by the listing") << false;
        QTest::newRow("made after the listing was cached") << true;
    }

    void aFolderMovedBeforeTheCloseShowsAsItsLinkAtTheNextStart()
    {
        QFETCH(bool, madeAfterTheListing);
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const auto [first, second, firstBefore, secondBefore] = makeTwoFolderBatch(w);
        const QString aside = w.fx.home.path(QStringLiteral("aside"));
        if (madeAfterTheListing)
            QVERIFY(QDir().rename(first, aside));
        MainViewModel& vm = w.vm();
        runTask(vm.launch().bootstrap(), std::chrono::seconds(60));
        QVERIFY(waitUntilIdle(vm));
        const auto measured = [](const MainViewModel& model,
                                 const QString& path) -> std::optional<DirectoryEntry> {
            for (const DirectoryEntry& entry : model.browsing().entries()) {
                if (entry.path == path)
                    return entry;
            }
            return std::nullopt;
        };
        qint64 sizeBefore = vm.browsing().currentDirectorySizeBytes();
        if (madeAfterTheListing) {
            QVERIFY(!measured(vm, first));
            QVERIFY(QDir().rename(aside, first));
            sizeBefore += 16 * 64 * 1024;
        } else {
            QVERIFY(measured(vm, first) && measured(vm, first)->sizeBytes >= 16 * 64 * 1024);
        }

        QVERIFY(startHeldMigration(w, {first, second}));
        auto closing = vm.prepareToClose();
        w.copyGate->open();
        runTask(std::move(closing), std::chrono::seconds(60));
        runQueuedEvents();
        w.viewModel.reset();
        QCOMPARE(platform::readSymbolicLink(first), std::optional(w.targetOf(first)));

        auto reopened = w.fx.makeViewModel();
        runTask(reopened->launch().bootstrap(), std::chrono::seconds(60));
        QVERIFY(waitUntilIdle(*reopened));
        const std::optional<DirectoryEntry> moved = measured(*reopened, first);
        QVERIFY(moved);
        QVERIFY(moved->isSymbolicLink);
        QCOMPARE(moved->sizeBytes, 0);
        QVERIFY(measured(*reopened, second) && !measured(*reopened, second)->isSymbolicLink);
        QVERIFY(reopened->browsing().currentDirectorySizeBytes() <= sizeBefore - 16 * 64 * 1024);
        reopened->listing().setSearchQuery(QFileInfo(first).fileName().left(3));
        QVERIFY2(shownNames(*reopened).contains(QFileInfo(first).fileName()),
                 qPrintable(shownNames(*reopened).join(' ')));
        reopened->listing().setSearchQuery(QString());
        // Chosen, it is refused as a folder already migrated, not as a protected path.
        ViewModelInternals::context(*reopened).browsing().setSelectedPaths({first});
        runTask(reopened->workflows().migrateSelectedItems());
        const std::optional<QString> said = errorLine(*reopened);
        QVERIFY(!said || !said->contains(QStringLiteral("protected or high-risk")));
        QCOMPARE(platform::readSymbolicLink(first), std::optional(w.targetOf(first)));
    }

    // The window closes while an undo waits for the answer to its question: the question is answered
    // Cancel, the run ends where it stood, and the folder stays whole on the volume behind its link,
    // as the next start finds it.
    void closeWhileAQuestionWaits()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString source = w.tree.file("Notes/a.txt", "a").section('/', 0, -2);
        MainViewModel& vm = w.vm();
        migrate(vm, {source});
        HoldingProcess::Options sitting;
        sitting.workingDirectory = source;
        HoldingProcess holder(sitting);
        QuestionedRun run(vm, vm.workflows().undoLastMigration());
        QVERIFY(run.question());
        QVERIFY(vm.hasRunningDiskWork());

        runTask(vm.prepareToClose(), std::chrono::seconds(60));
        QTRY_VERIFY(run.hasEnded());
        QVERIFY(!vm.activity().undoConflictPrompt());
        QCOMPARE(platform::readSymbolicLink(source), std::optional(w.targetOf(source)));
        QCOMPARE(QFile(w.targetOf(source) + "/a.txt").size(), 1);
        QCOMPARE(holder.process().state(), QProcess::Running);
        w.viewModel.reset();
        const QString reported = freshStartReports(w, {source});
        QVERIFY2(reported.isEmpty(), qPrintable(reported));
    }

    // While the window asks whether to close, the item on its way finishes and the next one waits,
    // with nothing running meanwhile: lifting the hold lets the batch go on; closing ends it there,
    // and the next start tells of the item that ran alone.
    void heldBatchWaitsBetweenItems_data()
    {
        QTest::addColumn<bool>("close");
        QTest::newRow("hold lifted") << false;
        QTest::newRow("closed while held") << true;
    }

    void heldBatchWaitsBetweenItems()
    {
        QFETCH(bool, close);
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const auto [first, second, firstBefore, secondBefore] = makeTwoFolderBatch(w);
        QVERIFY(startHeldMigration(w, {first, second}));
        MainViewModel& vm = w.vm();

        vm.holdFurtherItems(true);
        w.copyGate->open();
        QTRY_COMPARE_WITH_TIMEOUT(vm.activity().migrationProcessedItems(), 1, 20000);
        runQueuedEvents();
        QCOMPARE(platform::readSymbolicLink(first), std::optional(w.targetOf(first)));
        QCOMPARE(w.copyGate->arrivals(), QStringList{first});
        QVERIFY(vm.activity().isMigrating());
        QCOMPARE(vm.activity().migrationCurrentPath(), std::optional(first));
        QVERIFY(vm.activity().isBatchHeld());
        QVERIFY(!vm.hasRunningDiskWork());

        if (close) {
            runTask(vm.prepareToClose(), std::chrono::seconds(10));
            runQueuedEvents();
            w.viewModel.reset();
            const QString secondProblem = neverMigrated(w, second, secondBefore);
            QVERIFY2(secondProblem.isEmpty(), qPrintable(secondProblem));
            const QString reported = freshStartReports(w, {first});
            QVERIFY2(reported.isEmpty(), qPrintable(reported));
        } else {
            vm.holdFurtherItems(false);
            QTRY_VERIFY_WITH_TIMEOUT(!vm.activity().isMigrating(), 20000);
            QVERIFY(!vm.activity().isBatchHeld());
            QCOMPARE(vm.activity().migrationSucceededItems(), 2);
            QCOMPARE(platform::readSymbolicLink(second), std::optional(w.targetOf(second)));
        }
        QCOMPARE(snapshotTree(w.targetOf(first)), firstBefore);
    }

    // The state object goes away while an account flow waits for a slow reply; the reply arrives
    // afterwards and resumes the flow, which must touch nothing of the destroyed object.
    void destroyDuringAccountFlow_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("sign-in") << QStringLiteral("/api/v1/auth/login");
        QTest::newRow("overview") << kOverviewPath;
        QTest::newRow("cloud download") << kSnapshotPath;
        QTest::newRow("feedback") << kFeedbackPath;
    }

    void destroyDuringAccountFlow()
    {
        QFETCH(QString, path);
        AccountFixture f;
        QVERIFY(f.isReady());
        MainViewModel& vm = f.start();
        const bool signingIn = path.endsWith("/login");
        if (!signingIn)
            QVERIFY(f.signIn());
        const qsizetype before = f.requestsTo(path);
        f.service.http().setDelay(path, std::chrono::milliseconds(300));

        if (signingIn)
            vm.account().auth().signIn(AccountFixture::email, AccountFixture::password, std::nullopt,
                                       std::nullopt);
        else if (path == kOverviewPath)
            vm.account().overview().refreshMigrationOverview(true);
        else if (path == kSnapshotPath)
            vm.account().cloudSync().syncMigrationSnapshot(true);
        else
            vm.account().feedback().refreshFeedbackDashboard(true);
        QTRY_COMPARE(f.requestsTo(path), before + 1);

        QSignalSpy replies(f.world.network.get(), &QNetworkAccessManager::finished);
        f.model.reset();
        QVERIFY(replies.wait(10000));
        runQueuedEvents();

        // Going away is no sign-out: a new window starts in the account's history.
        auto reopened = f.world.makeViewModel();
        if (!signingIn)
            QCOMPARE(reopened->persisted().localHistoryScope(),
                     LocalHistoryScope::account(AccountFixture::email));
    }
};

QTEST_GUILESS_MAIN(SafeCloseTest)
#include "tst_safeclose.moc"
