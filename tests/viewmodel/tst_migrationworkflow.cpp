// The batch migration of the selection on a real tree and a second file system: records, counters,
// selection and summary of a mixed batch, the refusals, the progress figures and the running disk
// work.
#include "WorkflowFixture.h"
#include "diskops/OperationJournal.h"
#include "diskops/ReservedPaths.h"
#include "diskops/ScanService.h"
#include "platform/SymbolicLinks.h"
#include "support/FileOpenGate.h"
#include "support/MountNamespace.h"
#include "support/SkipWithout.h"
#include "support/TaskRunner.h"
#include "support/TreeSnapshot.h"
#include "support/WorkerGate.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/disk/ProgressMonitor.h"
#include "viewmodel/texts/MigrationFailureText.h"
#include "viewmodel/texts/Presentation.h"

#include <QDir>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <sys/xattr.h>

using namespace orvalink;
using test::errorLine;
using test::finish;
using test::infoLine;
using test::shown;
using test::WorkflowFixture;

namespace {

const QString kExistsZh = QStringLiteral("目标位置已存在同名目录或文件。通常是目标盘里已经有同一路径的残留内"
                                         "容。你可以在失败项里选择“强制迁移”，再决定追加迁移或覆盖迁移。");
const QString kExistsEn =
    QStringLiteral("The target path already exists. Residual content is already present on the "
                   "target disk. Use Force Migrate from the failed item to choose append or overwrite.");

} // namespace

class MigrationWorkflowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mixedBatch_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("summary");
        const QString zh = QStringLiteral("迁移完成。成功：1，失败：2。首个失败原因：");
        const QString en = QStringLiteral("Migration done. Success: 1, failed: 2. First failure: ");
        QTest::newRow("english") << UILanguage::english << en + kExistsEn;
        QTest::newRow("chinese") << UILanguage::chinese << zh + kExistsZh;
        // Each half holds the reason once, in its own language.
        QTest::newRow("bilingual") << UILanguage::bilingual << zh + kExistsZh + " " + en + kExistsEn;
    }

    // Alpha fails (its target is occupied), Beta fails (gone), Gamma moves; the summary quotes the
    // first failure of the run, not the last.
    void mixedBatch()
    {
        QFETCH(UILanguage, language);
        WorkflowFixture w(language);
        SKIP_WITHOUT(w);
        const QString alpha = w.tree.fileOfSize("Alpha/a.bin", 4096).section('/', 0, -2);
        const QString gamma = w.tree.fileOfSize("Gamma/g.bin", 64 * 1024).section('/', 0, -2);
        const QString beta = w.tree.path("Beta");
        test::TestTree(w.targetOf(alpha)).file("left-over.txt", "old");
        MainViewModel& vm = w.vm();
        ViewModelInternals::context(vm).browsing().setSelectedPaths({alpha, beta, gamma});

        QList<qint64> samples;
        connect(&vm.activity(), &ActivityState::migrationProcessedBytesChanged, &vm,
                [&] { samples.append(vm.activity().migrationProcessedBytes()); });
        finish(vm.workflows().migrateSelectedItems());

        QVERIFY(!vm.activity().isMigrating());
        QCOMPARE(vm.activity().migrationSucceededItems(), 1);
        QCOMPARE(vm.activity().migrationFailedItems(), 2);
        QCOMPARE(vm.activity().migrationProcessedItems(), 3);
        QVERIFY(vm.browsing().selectedPaths().isEmpty());
        QCOMPARE(vm.history().recentMigrations().size(), 1);
        QCOMPARE(vm.history().recentMigrations().first().sourcePath, gamma);
        QCOMPARE(vm.history().recentMigrations().first().targetPath, w.targetOf(gamma));
        QCOMPARE(platform::readSymbolicLink(gamma), std::optional<QString>(w.targetOf(gamma)));
        const auto failed = vm.history().recentFailedMigrations();
        QCOMPARE(failed.size(), 2);
        QCOMPARE(failed.at(0).sourcePath, beta); // newest first
        QCOMPARE(failed.at(1).sourcePath, alpha);
        QCOMPARE(failed.at(1).errorCode, std::optional<QString>("E004"));
        QVERIFY(QFileInfo(alpha + "/a.bin").isFile()); // the failed source stays whole
        QCOMPARE(vm.history().tasks().size(), 3);
        QFETCH(QString, summary);
        QCOMPARE(infoLine(vm), std::optional<QString>(summary));
        QCOMPARE(errorLine(vm), std::nullopt);

        // The bar only grows, never past the total, and ends on it.
        QVERIFY(vm.activity().migrationTotalBytes() >= 64 * 1024);
        QCOMPARE(vm.activity().migrationProcessedBytes(), vm.activity().migrationTotalBytes());
        const qsizetype reset = samples.lastIndexOf(0);
        for (qsizetype i = std::max<qsizetype>(reset, 0) + 1; i < samples.size(); ++i) {
            QVERIFY(samples.at(i) >= samples.at(i - 1));
            QVERIFY(samples.at(i) <= vm.activity().migrationTotalBytes());
        }
    }

    // A folder the volume cannot keep as it is moves not: the failed item and the summary say what
    // the volume's file system cannot keep and where, in the user's words.
    void aFolderTheVolumeCannotKeep()
    {
        WorkflowFixture w(UILanguage::english);
        SKIP_WITHOUT(w);
        // Over the tmpfs, a file system without extended attributes.
        if (test::mounts::mount("ramfs", w.volumePath(), "ramfs", 0, "mode=0755") != 0)
            QSKIP("cannot mount a ramfs here");
        const QString file = w.tree.file("Alpha/a.txt", "a");
        QVERIFY(::setxattr(QFile::encodeName(file).constData(), "user.tag", "blue", 4, 0) == 0);
        const QString alpha = w.tree.path("Alpha");

        test::migrate(w.vm(), {alpha});
        test::mounts::unmount(w.volumePath());

        const auto failed = w.vm().history().recentFailedMigrations();
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().shortfall,
                 CopyShortfall::volumeCannotKeep("ramfs", platform::Unkept::extendedAttributes, file));
        QCOMPARE(infoLine(w.vm()).value_or(QString()),
                 "Migration done. Success: 0, failed: 1. First failure: The external disk's file system "
                 "(ramfs) cannot keep extended attributes; the first entry concerned is " +
                     file + ". Nothing was moved.");
        QCOMPARE(w.tree.read("Alpha/a.txt"), QByteArray("a"));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("selection");
        QTest::addColumn<bool>("smartWeChat");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("errorStart");
        const QString home = QStringLiteral("<home>");
        QTest::newRow("empty") << QStringList() << false << "No file or folder selected." << QString();
        QTest::newRow("parent with child")
            << QStringList{home + "/Docs", home + "/Docs/Inner"} << false << QString()
            << "The selected directories include a parent-child conflict. Do not select a parent folder and "
               "one of "
               "its nested child folders at the same time.\n\nParent: <home>/Docs\nChild: <home>/Docs/Inner";
        QTest::newRow("four blocked")
            << QStringList{"/etc/a", "/usr/b", "/opt/c", "/srv/d"} << false << QString()
            << "Safety rules blocked these paths because they are the system's protected folders, "
               "system-managed folders, or other protected locations:\n/etc/a\n/opt/c\n/srv/d\n...and 1 more "
               "path(s)\n\n";
        const QString lib = home + "/Library/Containers/com.tencent.xinWeChat/Data/Library/Prefs";
        QTest::newRow("smart migration") << QStringList{lib} << true << QString()
                                         << "Smart Migration blocked these high-risk WeChat paths:\n" + lib;
        QTest::newRow("smart migration, other list") << QStringList{lib} << false << QString() << QString();
    }

    // A sign-in while a migration runs does not move its records to the new account.
    void recordsStayInTheScopeOfTheStart()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString docs = w.tree.fileOfSize("Docs/a.bin", 50000).section('/', 0, -2);
        MainViewModel& vm = w.vm();
        ViewModelInternals::context(vm).browsing().setSelectedPaths({docs});
        auto run = vm.workflows().migrateSelectedItems();
        QVERIFY(vm.activity().isMigrating());
        vm.account().session().activateLocalHistoryScope(QStringLiteral("someone@example.com"));
        finish(std::move(run));
        QCOMPARE(vm.activity().migrationSucceededItems(), 1);
        QVERIFY(vm.history().undoHistory().isEmpty());
        vm.account().session().activateLocalHistoryScope(std::nullopt);
        QTRY_COMPARE(vm.history().undoHistory().size(), 1);
        QCOMPARE(vm.history().undoHistory().first().sourcePath, docs);
    }

    // The target root is read once: a root changed while the batch runs applies to the next run,
    // also to the target recorded for an item that failed before the engine built its own.
    void targetRootIsReadOnceForTheRun()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString alpha = w.tree.fileOfSize("Alpha/a.bin", 4096).section('/', 0, -2);
        const QString beta = w.tree.path("Beta"); // missing: fails before its target is built
        const QString gamma = w.tree.fileOfSize("Gamma/g.bin", 4096).section('/', 0, -2);
        MainViewModel& vm = w.vm();
        ViewModelInternals::context(vm).browsing().setSelectedPaths({alpha, beta, gamma});
        const QString elsewhere = w.volumePath() + "/Elsewhere";
        connect(&vm.activity(), &ActivityState::migrationProcessedItemsChanged, &vm, [&] {
            if (vm.activity().migrationProcessedItems() != 1)
                return;
            AppConfig changed = vm.browsing().config();
            changed.defaultTargetRoot = elsewhere;
            ViewModelInternals::context(vm).browsing().setConfig(changed);
        });
        finish(vm.workflows().migrateSelectedItems());

        QCOMPARE(vm.settings().effectiveTargetRoot(), elsewhere);
        QCOMPARE(vm.activity().migrationSucceededItems(), 2);
        const auto failed = vm.history().recentFailedMigrations();
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().sourcePath, beta);
        QCOMPARE(failed.first().targetPath, w.targetOf(beta));
        QCOMPARE(vm.history().recentMigrations().first().targetPath, w.targetOf(gamma));
        QCOMPARE(platform::readSymbolicLink(gamma), std::optional<QString>(w.targetOf(gamma)));
        QVERIFY(!QFileInfo::exists(elsewhere));
    }

    // A refused selection changes nothing on disk and starts nothing.
    void refusals()
    {
        QFETCH(QStringList, selection);
        QFETCH(bool, smartWeChat);
        QFETCH(QString, info);
        QFETCH(QString, errorStart);
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        w.tree.dir("Docs/Inner");
        w.tree.dir("Library/Containers/com.tencent.xinWeChat/Data/Library/Prefs");
        MainViewModel& vm = w.vm();
        ViewModelInternals::context(vm).browsing().setSmartMigrationEnabled(true);
        ViewModelInternals::context(vm).browsing().setSmartMigrationProfile(
            smartWeChat ? SmartMigrationProfile::wechat : SmartMigrationProfile::other);
        QSet<QString> selected;
        for (const QString& path : selection)
            selected.insert(QString(path).replace("<home>", w.fx.home.home()));
        ViewModelInternals::context(vm).browsing().setSelectedPaths(selected);
        QSignalSpy started(&vm.activity(), &ActivityState::isMigratingChanged);
        finish(vm.workflows().migrateSelectedItems());
        if (info.isEmpty() && errorStart.isEmpty()) { // the "other" list refuses nothing: it ran
            QCOMPARE(vm.activity().migrationSucceededItems(), 1);
            return;
        }
        QCOMPARE(started.count(), 0);
        QCOMPARE(infoLine(vm), info.isEmpty() ? std::nullopt : std::optional<QString>(info));
        if (errorStart.isEmpty())
            QCOMPARE(errorLine(vm), std::nullopt);
        else
            QVERIFY2(errorLine(vm)->startsWith(QString(errorStart).replace("<home>", w.fx.home.home())),
                     qPrintable(*errorLine(vm)));
        QVERIFY(QFileInfo(w.tree.path("Docs")).isDir() && !QFileInfo(w.tree.path("Docs")).isSymLink());
    }

    // While any disk workflow runs, a start changes nothing. The flows whose controls the window
    // disables by the rule say nothing; those started from a row's menu or a prompt's answer,
    // whose controls stay enabled, say in the info line why they did not start.
    void runningWorkExcludesASecondStart_data()
    {
        QTest::addColumn<DiskWork>("work");
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("migrating") << DiskWork::migration << UILanguage::english
                                   << "A migration is running. Try again once it has finished.";
        QTest::newRow("undoing") << DiskWork::undo << UILanguage::english
                                 << "An undo is running. Try again once it has finished.";
        QTest::newRow("repairing") << DiskWork::linkRepair << UILanguage::english
                                   << "A link repair is running. Try again once it has finished.";
        QTest::newRow("repairing, chinese")
            << DiskWork::linkRepair << UILanguage::chinese << "正在修复链接，请等它结束后再试。";
        QTest::newRow("migrating, bilingual")
            << DiskWork::migration << UILanguage::bilingual
            << "正在迁移，请等它结束后再试。 A migration is running. Try again once it has finished.";
        // The start-up's recovery refuses quietly: the info line already tells of the recovery.
        QTest::newRow("recovering") << DiskWork::recovery << UILanguage::english << QString();
    }
    void runningWorkExcludesASecondStart()
    {
        QFETCH(DiskWork, work);
        QFETCH(UILanguage, language);
        QFETCH(QString, refusal);
        WorkflowFixture w(language);
        SKIP_WITHOUT(w);
        const QString docs = w.tree.file("Docs/a.txt", "a").section('/', 0, -2);
        MainViewModel& vm = w.vm();
        ViewModelInternals::context(vm).browsing().setSelectedPaths(
            {w.tree.file("Moved/a.txt", "a").section('/', 0, -2)});
        finish(vm.workflows().migrateSelectedItems());
        QCOMPARE(vm.history().undoHistory().size(), 1);
        const LinkMapping moved = vm.history().undoHistory().first();
        const qsizetype tasksBefore = vm.history().tasks().size();
        ViewModelInternals::context(vm).browsing().setSelectedPaths({docs});
        vm.workflows().selectAllUndoMappings();
        ViewModelInternals::context(vm).activity().setDiskWork(work);
        QVERIFY(!vm.workflows().mayStartDiskWork());

        ViewModelInternals::context(vm).activity().setInfoMessage(std::nullopt);
        finish(vm.workflows().migrateSelectedItems());
        finish(vm.workflows().undoLastMigration());
        finish(vm.workflows().undoSelectedMigration());
        finish(vm.workflows().repairBrokenLinks());
        QCOMPARE(infoLine(vm), std::nullopt);

        const std::optional<QString> said = refusal.isEmpty() ? std::nullopt : std::optional(refusal);
        const FailedMigrationRecord failed{QUuid::createUuid(), docs, {}, {}, TaskStatus::failed, {}, "x"};
        finish(vm.workflows().retryFailedMigration(failed, ForcedMigrationMode::append, false));
        QCOMPARE(infoLine(vm), said);
        ViewModelInternals::context(vm).activity().setInfoMessage(std::nullopt);
        finish(vm.workflows().repairMigratedLinks({moved.id}));
        QCOMPARE(infoLine(vm), said);
        ViewModelInternals::context(vm).activity().setInfoMessage(std::nullopt);
        finish(vm.workflows().forceUndoMigration(moved, ForcedUndoRestoreMode::overwrite));
        QCOMPARE(infoLine(vm), said);

        QCOMPARE(errorLine(vm), std::nullopt);
        QVERIFY(!QFileInfo(docs).isSymLink());
        QCOMPARE(platform::readSymbolicLink(moved.sourcePath), std::optional(moved.targetPath));
        QCOMPARE(vm.history().tasks().size(), tasksBefore);
        // The work that was set is still the one that runs: nothing else started.
        QCOMPARE(vm.activity().diskWork(), work);

        // Once the work is over they start again.
        ViewModelInternals::context(vm).activity().setDiskWork(DiskWork::none);
        QVERIFY(vm.workflows().mayStartDiskWork());
        finish(vm.workflows().undoLastMigration());
        QVERIFY(QFileInfo(moved.sourcePath).isDir() && !QFileInfo(moved.sourcePath).isSymLink());
    }

    // Views watch the flags derived from the running work by their own signals: a change of the
    // work emits the signal of each flag that flips, and no other.
    void derivedFlagsFollowTheRunningWork_data()
    {
        QTest::addColumn<DiskWork>("from");
        QTest::addColumn<DiskWork>("to");
        QTest::addColumn<QList<int>>("flips"); // migrating, undoing, repairing links
        QTest::newRow("migration starts") << DiskWork::none << DiskWork::migration << QList{1, 0, 0};
        QTest::newRow("migration ends") << DiskWork::migration << DiskWork::none << QList{1, 0, 0};
        QTest::newRow("undo starts") << DiskWork::none << DiskWork::undo << QList{0, 1, 0};
        QTest::newRow("repair ends") << DiskWork::linkRepair << DiskWork::none << QList{0, 0, 1};
        QTest::newRow("recovery starts") << DiskWork::none << DiskWork::recovery << QList{0, 0, 0};
        QTest::newRow("undo to repair") << DiskWork::undo << DiskWork::linkRepair << QList{0, 1, 1};
        QTest::newRow("unchanged") << DiskWork::migration << DiskWork::migration << QList{0, 0, 0};
    }
    void derivedFlagsFollowTheRunningWork()
    {
        QFETCH(DiskWork, from);
        QFETCH(DiskWork, to);
        QFETCH(QList<int>, flips);
        ActivityState activity;
        activity.setDiskWork(from);
        QSignalSpy work(&activity, &ActivityState::diskWorkChanged);
        QSignalSpy migrating(&activity, &ActivityState::isMigratingChanged);
        QSignalSpy undoing(&activity, &ActivityState::isUndoingChanged);
        QSignalSpy repairing(&activity, &ActivityState::isRepairingLinksChanged);
        activity.setDiskWork(to);
        QCOMPARE(work.count(), from == to ? 0 : 1);
        QCOMPARE((QList{int(migrating.count()), int(undoing.count()), int(repairing.count())}), flips);
        QCOMPARE(activity.isMigrating(), to == DiskWork::migration);
        QCOMPARE(activity.isUndoing(), to == DiskWork::undo);
        QCOMPARE(activity.isRepairingLinks(), to == DiskWork::linkRepair);
        QCOMPARE(activity.isDiskWorkBusy(), to != DiskWork::none);
    }

    // A program makes the folder anew at its path while its copy runs: the migration is taken back
    // after its copy. While the data comes home the running step says so and how much has arrived;
    // the step goes with the item, which is rolled back, the data whole at home and what the program
    // made kept beside it.
    void aTakeBackShowsItsDataComingHome()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString alpha = w.tree.fileOfSize("Alpha/a.bin", 256 * 1024).section('/', 0, -2);
        w.tree.file("Alpha/b.txt", "b");
        const QStringList before = test::snapshotTree(alpha);
        const QString target = w.targetOf(alpha);
        const auto home = std::make_shared<test::WorkerGate>();
        std::atomic<bool> occupied = false;
        // The engine writes its record at each step: the program comes once the folder has left its
        // path, and the take-back is held once its copy at home is whole.
        QDir().mkpath(OperationJournal::directory());
        test::FileOpenGate steps(OperationJournal::directory(), [&] {
            const QStringList reserved = existingReservedPaths(alpha);
            if (!occupied && !QFileInfo::exists(alpha) &&
                std::any_of(reserved.cbegin(), reserved.cend(), [&](const QString& path) {
                    return isReservedPathOf(alpha, path, ReservedSuffix::staging);
                })) {
                test::TestTree(alpha).file("new.txt", "made anew");
                occupied = true;
            }
            for (const QString& path : reserved) {
                if (isReservedPathOf(alpha, path, ReservedSuffix::restoring) &&
                    test::snapshotContents(path) == test::snapshotContents(target))
                    home->pass(path);
            }
        });
        SKIP_WITHOUT(steps);
        // Should a check fail while the engine is held, the gate lets it go before it is taken down.
        const auto release = qScopeGuard([home] { home->open(); });
        MainViewModel& vm = w.vm();
        ViewModelInternals::context(vm).browsing().setSelectedPaths({alpha});
        test::QuestionedRun run(vm, vm.workflows().migrateSelectedItems());

        QVERIFY(home->waitForArrivals(1));
        const qint64 expected = vm.activity().migrationTotalBytes();
        QVERIFY(expected >= 256 * 1024);
        QTRY_VERIFY(vm.activity().diskWorkStep() && vm.activity().diskWorkStep()->doneBytes >= 256 * 1024);
        const DiskWorkStep step = *vm.activity().diskWorkStep();
        QCOMPARE(step.kind, DiskWorkStep::Kind::comingHome);
        QCOMPARE(step.path, alpha);
        QCOMPARE(step.totalBytes, expected);
        QVERIFY(step.doneBytes <= expected);
        QVERIFY(vm.activity().isMigrating());
        home->open();

        QTRY_VERIFY_WITH_TIMEOUT(run.hasEnded(), 30000);
        QCOMPARE(vm.activity().diskWorkStep(), std::nullopt);
        const QList<FailedMigrationRecord> failed = vm.history().recentFailedMigrations();
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().status, TaskStatus::rolledBack);
        QCOMPARE(test::snapshotTree(alpha), before);
        QVERIFY(!QFileInfo::exists(target));
        QStringList madeAnew;
        for (const QString& path : existingReservedPaths(alpha)) {
            if (isReservedPathOf(alpha, path, ReservedSuffix::rollbackConflict))
                madeAnew.append(test::TestTree(path).read("new.txt"));
        }
        QCOMPARE(madeAnew, QStringList{"made anew"});
    }

    // The disk work ends with its answer: no turn of the event loop lies between, in which another
    // run could start or another answer come before it.
    void theDiskWorkEndsWithItsAnswer_data()
    {
        QTest::addColumn<QString>("flow");
        QTest::addColumn<QString>("answer");
        QTest::newRow("migration") << "migrate"
                                   << "Migration done. Success: 1, failed: 0.";
        QTest::newRow("undo of the last") << "undo last"
                                          << "Undo completed: ";
        QTest::newRow("undo of the selected") << "undo selected"
                                              << "Restored 2 records.";
    }
    void theDiskWorkEndsWithItsAnswer()
    {
        QFETCH(QString, flow);
        QFETCH(QString, answer);
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString one = w.tree.file("One/a.txt", "a").section('/', 0, -2);
        const QString two = w.tree.file("Two/b.txt", "b").section('/', 0, -2);
        MainViewModel& vm = w.vm();
        if (flow != "migrate") {
            test::migrate(vm, {one});
            test::migrate(vm, {two});
            vm.workflows().selectAllUndoMappings();
        }
        std::optional<QString> saidAtTheEnd;
        int ends = 0;
        connect(
            &vm.activity(), &ActivityState::diskWorkChanged, &vm,
            [&] {
                if (vm.activity().diskWork() != DiskWork::none)
                    return;
                ++ends;
                saidAtTheEnd = infoLine(vm);
            },
            Qt::QueuedConnection);
        if (flow == "migrate") {
            ViewModelInternals::context(vm).browsing().setSelectedPaths({one});
            finish(vm.workflows().migrateSelectedItems());
        } else if (flow == "undo last") {
            finish(vm.workflows().undoLastMigration());
        } else {
            finish(vm.workflows().undoSelectedMigration());
        }
        QTRY_COMPARE(ends, 1);
        QVERIFY2(infoLine(vm).value_or(QString()).startsWith(answer),
                 qPrintable(infoLine(vm).value_or("none")));
        QCOMPARE(saidAtTheEnd, infoLine(vm));
    }

    // The monitor raises the published bytes with growing samples only, bounded by base + expected,
    // and writes nothing once stopped.
    void monitorOnlyRaisesWithinItsBounds()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        MainViewModel& vm = w.vm();
        const QString observed = w.tree.dir("Arriving");
        ViewModelInternals::context(vm).activity().setMigrationProcessedBytes(1000);
        auto monitor =
            ProgressMonitor::start(vm.workflows().context(), ArrivalPlace::at(observed), 1000000, 1000);
        QVERIFY(monitor);
        w.tree.fileOfSize("Arriving/a", 8192);
        QTRY_VERIFY(vm.activity().migrationProcessedBytes() >= 9192 &&
                    vm.activity().migrationProcessedBytes() < 100000);
        w.tree.fileOfSize("Arriving/b", 2000000);
        QTRY_COMPARE(vm.activity().migrationProcessedBytes(), 1001000);
        QFile::remove(w.tree.path("Arriving/b"));
        ViewModelInternals::context(vm).activity().setMigrationProcessedBytes(
            1500000); // already above anything the monitor may publish
        finish(stopProgressMonitor(std::move(monitor)));
        QCOMPARE(vm.activity().migrationProcessedBytes(), 1500000);
        QVERIFY(!ProgressMonitor::start(vm.workflows().context(), ArrivalPlace::at(QString()), 500, 0));
        QVERIFY(!ProgressMonitor::start(vm.workflows().context(), ArrivalPlace::at(observed), 0, 0));
    }

    // A link at the observed path counts nothing (it still stands there while an undo runs).
    void sizeForProgressDoesNotFollowARootLink()
    {
        test::TestHome home;
        test::TestTree tree(home.home());
        tree.fileOfSize("Data/big", 100000);
        tree.symlink("Link", tree.path("Data"));
        const ScanService scan(1);
        QCOMPARE(readSizeForProgress(tree.path("Link"), scan), 0);
        QVERIFY(readSizeForProgress(tree.path("Data"), scan) >= 100000);
        QVERIFY(readSizeForProgress(tree.path("Data/big"), scan) >= 100000);
        QCOMPARE(readSizeForProgress(tree.path("Missing"), scan), 0);
    }

    // A failure with no case of ours (a platform error, a refused administrator command) is said by
    // its description only as far as it is already Chinese; otherwise by the general text.
    void failureDescriptions_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const UILanguage en = UILanguage::english;
        const UILanguage zh = UILanguage::chinese;
        QTest::newRow("blank") << en << " \n "
                               << "Migration failed.";
        QTest::newRow("chinese") << en << "已经是中文"
                                 << "已经是中文";
        QTest::newRow("chinese around a path") << zh << "无法读取 /data/照片。"
                                               << "无法读取 /data/照片。";
        QTest::newRow("other")
            << en << "Something odd"
            << "Migration failed. Check directory permissions, file locks, and the target disk connection.";
        // An English description that reads like one of our own is still no case of ours.
        QTest::newRow("english phrase of a case")
            << en << "Directory /x is currently in use by: Finder, Terminal. Close them first."
            << "Migration failed. Check directory permissions, file locks, and the target disk connection.";
        QTest::newRow("chinese path, unknown form")
            << zh << "Failed to read \"/data/照片\": Input/output error"
            << "迁移失败，请检查目录权限、目录占用状态和目标磁盘连接情况。";
        QTest::newRow("chinese home path, unknown form")
            << en << "Could not open ~/照片/a b"
            << "Migration failed. Check directory permissions, file locks, and the target disk connection.";
    }
    void failureDescriptions()
    {
        QFETCH(UILanguage, language);
        QFETCH(QString, text);
        WorkflowFixture w(language);
        const Presentation& texts = w.vm().presentation();
        QTEST(texts.sanitizedForPresentation(texts.localized(failureDescriptionText(text))), "expected");
    }
};

QTEST_GUILESS_MAIN(MigrationWorkflowTest)
#include "tst_migrationworkflow.moc"
