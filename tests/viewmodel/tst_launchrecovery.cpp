// The start-up's recovery of operations an earlier run left unfinished, as the window sees it: it
// runs off the window's thread while a line says what is being put right, the first listing and
// any disk workflow wait for it, it never asks for administrator rights, and what it did or left is
// told afterwards.
#include "WorkflowFixture.h"
#include "diskops/CreatedFolders.h"
#include "diskops/OperationJournal.h"
#include "diskops/ReservedPaths.h"
#include "model/AppPaths.h"
#include "platform/CommandRunner.h"
#include "platform/FileIO.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"
#include "support/FileOpenGate.h"
#include "support/ImmutableFlag.h"
#include "support/SkipWithout.h"
#include "support/TaskRunner.h"
#include "support/TreeSnapshot.h"
#include "support/WorkerGate.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/browsing/DirectoryLoader.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/texts/RecoveryTexts.h"

#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

using namespace orvalink;
using namespace orvalink::test;

Q_DECLARE_METATYPE(orvalink::UILanguage)

namespace {

// Answers every administrator command as refused and keeps its text.
class RecordingRunner : public platform::CommandRunner {
public:
    platform::CommandOutcome run(const QString& command) override
    {
        commands.append(command);
        return {126, false, {}, "refused"};
    }
    QStringList commands;
};

} // namespace

class LaunchRecoveryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A folder whose migration was killed after staging comes back; a record whose data may be
    // whole at two places is left, and its paths are shown.
    void startupPutsRightInterruptedOperations()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        w.tree.file(QStringLiteral("Docs/a.txt"), "alpha");
        w.tree.file(QStringLiteral("Music/b.txt"), "beta");
        const QString docs = w.tree.path(QStringLiteral("Docs"));
        const QString music = w.tree.path(QStringLiteral("Music"));
        const JournalRecord docsRecord = leaveStagedMigration(w, docs);
        const JournalRecord musicRecord = leaveStagedMigration(w, music, [](JournalRecord& record) {
            // The administrator's command was copying when the process died.
            record.moving = record.administrator = true;
            TestTree(record.targetPath).file(QStringLiteral("b.txt"), "be");
        });
        MainViewModel& vm = w.vm();

        runTask(vm.launch().bootstrap());
        QVERIFY(waitUntilIdle(vm));

        QCOMPARE(TestTree(docs).read(QStringLiteral("a.txt")), QByteArray("alpha"));
        QVERIFY(!QFileInfo::exists(docsRecord.stagingPath));
        QVERIFY(shownNames(vm).contains(QStringLiteral("Docs")));
        QCOMPARE(vm.history().tasks().size(), 1);
        QCOMPARE(vm.history().tasks().constFirst().status, TaskStatus::rolledBack);
        QCOMPARE(vm.history().tasks().constFirst().errorCode, QStringLiteral("E008"));
        const QString info = infoLine(vm).value_or(QString());
        QVERIFY2(
            info.startsWith(QStringLiteral("An interrupted migration was undone; the data is back at %1. ")
                                .arg(vm.presentation().displayPath(docs))),
            qPrintable(info));
        QVERIFY(info.endsWith(QStringLiteral("Click \"Refresh Now\" for deep scan.")));

        QVERIFY(QFileInfo::exists(musicRecord.stagingPath) && QFileInfo::exists(musicRecord.targetPath) &&
                !QFileInfo::exists(music));
        const QString error = errorLine(vm).value_or(QString());
        QVERIFY2(error.contains(
                     QStringLiteral("An interrupted operation could not be put right; nothing was changed "
                                    "at these paths, please check them: %1, %2.")
                         .arg(vm.presentation().displayPath(musicRecord.stagingPath),
                              vm.presentation().displayPath(musicRecord.targetPath))),
                 qPrintable(error));
        QCOMPARE(OperationJournal::recordPaths().size(), 1);
    }

    // Disk work that started while the survey ran owns the disk: the recovery leaves the record
    // for the next start rather than take the running work's journal for an interrupted one, and
    // the running work stays the one shown.
    void recoveryLeavesItToTheNextStartWhileDiskWorkRuns()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        w.tree.file(QStringLiteral("Docs/a.txt"), "alpha");
        const QString docs = w.tree.path(QStringLiteral("Docs"));
        const JournalRecord record = leaveStagedMigration(w, docs);
        MainViewModel& vm = w.vm();
        ViewModelInternals::context(vm).activity().setDiskWork(DiskWork::undo);
        const RecoveryTexts untouched = runTask(vm.launch().recoverInterruptedOperations());
        QVERIFY(!untouched.info && !untouched.error);
        QCOMPARE(vm.activity().diskWork(), DiskWork::undo);
        QVERIFY(QFileInfo::exists(record.stagingPath) && !QFileInfo::exists(docs));
        QCOMPARE(OperationJournal::recordPaths().size(), 1);

        ViewModelInternals::context(vm).activity().setDiskWork(DiskWork::none);
        const RecoveryTexts recovered = runTask(vm.launch().recoverInterruptedOperations());
        QVERIFY(recovered.info);
        QCOMPARE(vm.activity().diskWork(), DiskWork::none);
        QCOMPARE(TestTree(docs).read(QStringLiteral("a.txt")), QByteArray("alpha"));
        QVERIFY(OperationJournal::recordPaths().isEmpty());
    }

    // Finishing a large migration takes a while: meanwhile the event loop turns, a line says what
    // is being put right, and neither the first listing nor a disk workflow begins.
    void windowKeepsTurningWhileRecoveryRuns()
    {
        WorkflowFixture w(UILanguage::english, 256 * 1024 * 1024);
        SKIP_WITHOUT(w);
        for (int d = 0; d < 40; ++d) {
            for (int f = 0; f < 100; ++f)
                w.tree.file(QStringLiteral("Large/dir%1/file%2.txt").arg(d).arg(f), QByteArray(512, 'x'));
        }
        const QString large = w.tree.path(QStringLiteral("Large"));
        const QStringList whole = snapshotTree(large);
        const JournalRecord record = leaveStagedMigration(w, large, [](JournalRecord& entry) {
            // The copy was whole and flushed; the staged original was still being removed.
            copyTree(entry.stagingPath, entry.targetPath);
            entry.targetIdentity = entryIdentityText(entry.targetPath);
            entry.moving = entry.arrived = true;
        });
        MainViewModel& vm = w.vm();
        int ticksWhileRecovering = 0;
        int listingsWhileRecovering = 0;
        bool refusedToStart = true;
        QStringList linesWhileRecovering;
        QTimer ticker;
        ticker.setInterval(0);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (vm.activity().diskWork() != DiskWork::recovery)
                return;
            if (ticksWhileRecovering++ == 0) {
                startDetached(vm.workflows().undoLastMigration());
                refusedToStart = !vm.activity().isUndoing() && vm.hasRunningDiskWork();
            }
            const QString line = infoLine(vm).value_or(QString());
            if (!linesWhileRecovering.contains(line))
                linesWhileRecovering.append(line);
        });
        QObject::connect(&vm.browsing(), &BrowsingState::entriesChanged, [&] {
            if (vm.activity().diskWork() == DiskWork::recovery)
                ++listingsWhileRecovering;
        });
        ticker.start();

        runTask(vm.launch().bootstrap(), std::chrono::seconds(60));
        ticker.stop();

        QVERIFY2(ticksWhileRecovering > 0, "the event loop stood still while the recovery ran");
        QCOMPARE(linesWhileRecovering,
                 QStringList{QStringLiteral(
                     "Finishing what was interrupted last time: Large. The folder list follows.")});
        QCOMPARE(listingsWhileRecovering, 0);
        QVERIFY(refusedToStart);
        QCOMPARE(vm.activity().diskWork(), DiskWork::none);
        QCOMPARE(platform::readSymbolicLink(large), record.targetPath);
        QCOMPARE(snapshotTree(record.targetPath), whole);
        QVERIFY(!QFileInfo::exists(record.stagingPath));
        QVERIFY2(infoLine(vm)->startsWith(QStringLiteral("An interrupted migration was completed")),
                 qPrintable(*infoLine(vm)));
        QVERIFY(waitUntilIdle(vm));
        QVERIFY(shownNames(vm).contains(QStringLiteral("Large")));
    }

    // Finishing an interrupted migration runs as the start-up's own run: the operation it puts right
    // is the current item, the running step names it, and how much of the original it no longer
    // needs has gone is measured while it goes. Once done, the counters go with the step.
    void theRecoveryShowsHowFarItHasGot()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        w.tree.fileOfSize(QStringLiteral("Large/x.bin"), 1 << 20);
        w.tree.fileOfSize(QStringLiteral("Large/y.bin"), 1 << 20);
        for (int i = 0; i < 4; ++i)
            w.tree.file(QStringLiteral("Large/small%1.txt").arg(i), "s");
        const QString large = w.tree.path(QStringLiteral("Large"));
        const JournalRecord record = leaveStagedMigration(w, large, [](JournalRecord& entry) {
            copyTree(entry.stagingPath, entry.targetPath);
            entry.targetIdentity = entryIdentityText(entry.targetPath);
            entry.moving = entry.arrived = true;
        });
        MainViewModel& vm = w.vm();
        // The removal of the original compares each file with its copy: it is held at its first file,
        // and again once one of the large files has gone.
        const auto started = std::make_shared<WorkerGate>();
        const auto halfway = std::make_shared<WorkerGate>();
        const QString staging = record.stagingPath;
        FileOpenGate removal(staging, [started, halfway, staging] {
            started->pass(QStringLiteral("started"));
            if (!QFileInfo::exists(staging + QStringLiteral("/x.bin")) ||
                !QFileInfo::exists(staging + QStringLiteral("/y.bin")))
                halfway->pass(QStringLiteral("halfway"));
        });
        SKIP_WITHOUT(removal);
        // Should a check fail while the recovery is held, it goes on before the gate is taken down.
        const auto release = qScopeGuard([started, halfway] {
            started->open();
            halfway->open();
        });
        QuestionedRun start(vm, vm.launch().bootstrap());

        QVERIFY(started->waitForArrivals(1));
        QTRY_VERIFY(vm.activity().diskWorkStep() && vm.activity().diskWorkStep()->totalBytes >= 2 << 20);
        QCOMPARE(*vm.activity().diskWorkStep(), (DiskWorkStep{DiskWorkStep::Kind::finishingMigration, large,
                                                              0, vm.activity().diskWorkStep()->totalBytes}));
        QCOMPARE(vm.activity().diskWork(), DiskWork::recovery);
        QCOMPARE(shown(vm, vm.activity().currentOperationTitle()), "Operations Interrupted Last Time");
        QCOMPARE(vm.activity().migrationTotalItems(), 1);
        QCOMPARE(vm.activity().migrationProcessedItems(), 0);
        QCOMPARE(vm.activity().migrationCurrentPath(), std::optional(large));
        started->open();
        QVERIFY(halfway->waitForArrivals(1));
        QTRY_VERIFY(vm.activity().diskWorkStep()->doneBytes >= 1 << 20);
        QVERIFY(vm.activity().diskWorkStep()->doneBytes < vm.activity().diskWorkStep()->totalBytes);
        halfway->open();

        QTRY_VERIFY_WITH_TIMEOUT(start.hasEnded(), 60000);
        QCOMPARE(vm.activity().diskWorkStep(), std::nullopt);
        QCOMPARE(vm.activity().migrationTotalItems(), 0);
        QCOMPARE(vm.activity().diskWork(), DiskWork::none);
        QCOMPARE(platform::readSymbolicLink(large), record.targetPath);
        QVERIFY(!QFileInfo::exists(staging));
    }

    void whatTheStartKeptStaysUntilARunStarts_data()
    {
        QTest::addColumn<bool>("comingHome"); // else the original changed after its copy
        QTest::newRow("a newer version took the place of the older one") << false;
        QTest::newRow("completed instead of coming home") << true;
    }
    // The start-up finishes a migration whose original changed after its copy: the newer version
    // takes its place and the one it replaced is kept beside it. Or one whose take-back was cut short
    // while the folder came home: the copy on the volume is whole, so it completes the migration
    // instead, and says so. The dock's record of that stays until a run starts, whatever the status
    // line says meanwhile.
    void whatTheStartKeptStaysUntilARunStarts()
    {
        QFETCH(bool, comingHome);
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        w.tree.file(QStringLiteral("Notes/log.txt"), "first");
        w.tree.file(QStringLiteral("Notes/other.txt"), "other");
        const QString notes = w.tree.path(QStringLiteral("Notes"));
        const QString music = w.tree.file(QStringLiteral("Music/a.txt"), "a").section('/', 0, -2);
        const JournalRecord record = leaveStagedMigration(w, notes, [comingHome](JournalRecord& entry) {
            copyTree(entry.stagingPath, entry.targetPath);
            entry.targetIdentity = entryIdentityText(entry.targetPath);
            entry.moving = entry.arrived = true;
            if (comingHome) { // a copy cut short on its way home
                entry.restorePath = makeReservedPath(entry.sourcePath, ReservedSuffix::restoring);
                TestTree(entry.restorePath).file(QStringLiteral("log.txt"), "fir");
                entry.restoreSiblingIdentity = entryIdentityText(entry.restorePath);
            } else {
                TestTree(entry.stagingPath).file(QStringLiteral("log.txt"), "second, written after the copy");
            }
        });
        MainViewModel& vm = w.vm();

        runTask(vm.launch().bootstrap());
        QVERIFY(waitUntilIdle(vm));

        const QList<KeptVersionsRecord> kept = vm.history().keptVersions();
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept.first().sourcePath, notes);
        QCOMPARE(kept.first().completedInstead, comingHome);
        if (comingHome) {
            QCOMPARE(platform::readSymbolicLink(notes), std::optional(record.targetPath));
            QCOMPARE(TestTree(record.targetPath).read(QStringLiteral("log.txt")), QByteArray("first"));
            QVERIFY(!platform::entryExists(record.restorePath));
            QCOMPARE(kept.first().targetPath, record.targetPath);
            QVERIFY(!kept.first().keptVersions());
            QVERIFY2(infoLine(vm)->contains("was being taken back when the application stopped") &&
                         infoLine(vm)->contains("completed instead: " + notes + " -> " + record.targetPath),
                     qPrintable(*infoLine(vm)));
        } else {
            QCOMPARE(TestTree(record.targetPath).read(QStringLiteral("log.txt")),
                     QByteArray("second, written after the copy"));
            QCOMPARE(kept.first().olderVersions.size(), 1);
            QCOMPARE(kept.first().targetPath, kept.first().olderVersions.first());
            const QFileInfo older(kept.first().targetPath);
            QCOMPARE(TestTree(older.path()).read(older.fileName()), QByteArray("first"));
            QVERIFY(infoLine(vm)->contains(vm.presentation().displayPath(kept.first().targetPath)));
        }

        finish(vm.loader().scanCurrentDirectory());
        QVERIFY(infoLine(vm)->startsWith(QStringLiteral("Scanned ")));
        QCOMPARE(vm.history().keptVersions(), kept);

        migrate(vm, {music});
        QVERIFY(vm.history().keptVersions().isEmpty());
    }

    // An answer given while the start-up still lists the folder is newer than the start-up's own
    // closing line, which then stays unsaid.
    void aNewerAnswerOutlivesTheStartupsLine()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        MainViewModel& vm = w.vm();
        const auto listing = std::make_shared<WorkerGate>();
        FileOpenGate home(
            w.fx.home.home(), [listing] { listing->pass(QStringLiteral("listing")); },
            FileOpenGate::Openings::filesAndFolders);
        SKIP_WITHOUT(home);
        const auto release = qScopeGuard([listing] { listing->open(); });
        QuestionedRun start(vm, vm.launch().bootstrap());
        QVERIFY(listing->waitForArrivals(1));
        vm.presentation().copyPathToClipboard(w.fx.home.home());
        listing->open();
        QTRY_VERIFY_WITH_TIMEOUT(start.hasEnded(), 30000);
        QCOMPARE(infoLine(vm), std::optional<QString>("Path copied."));
    }

    // Putting the folder back needs rights the user lacks: the start-up asks nobody, changes
    // nothing and says why.
    void recoveryNeverAsksForAdministrator()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        w.tree.file(QStringLiteral("Projects/Docs/a.txt"), "alpha");
        const QString docs = w.tree.path(QStringLiteral("Projects/Docs"));
        const JournalRecord record = leaveStagedMigration(w, docs);
        ImmutableFlag locked(w.tree.path(QStringLiteral("Projects")));
        if (!locked.isSet())
            QSKIP(qPrintable(locked.skipReason()));
        const auto runner = std::make_shared<RecordingRunner>();
        auto vm = w.fx.makeViewModel([runner](ViewModelServices& services) {
            services.privilegedFileOperations = std::make_shared<PrivilegedFileOperationService>(runner);
        });

        runTask(vm->launch().bootstrap());

        QVERIFY(runner->commands.isEmpty());
        const QString error = errorLine(*vm).value_or(QString());
        QVERIFY2(error.contains(QStringLiteral("This needs administrator rights, which are not asked for at "
                                               "start-up, so nothing was changed.")),
                 qPrintable(error));
        QVERIFY2(error.contains(vm->presentation().displayPath(record.stagingPath)), qPrintable(error));
        locked.clear();
        QCOMPARE(TestTree(record.stagingPath).read(QStringLiteral("a.txt")), QByteArray("alpha"));
        QCOMPARE(OperationJournal::recordPaths().size(), 1);
    }

    // What was put right goes to the information line, what needs the user to the error line, in the
    // interface language.
    void recoveryTexts_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("progress"); // while the recovery runs
        QTest::newRow("english")
            << UILanguage::english
            << QStringLiteral(
                   "An interrupted migration was undone; the data is back at /home/u/Docs. What changed "
                   "after it was copied took its place; the versions it replaced were kept at: "
                   "/home/u/Docs/.b.txt.orvalink-append-preserved-X. An interrupted migration was completed: "
                   "/home/u/Music -> /media/u/Disk/Root/home/u/Music. Items that "
                   "changed after they were copied were kept: /home/u/.Music.orvalink-staging-X/new.txt. "
                   "The migration of /home/u/Pics was being taken back when the application stopped; its "
                   "copy on the external disk was whole, so the migration was completed instead: "
                   "/home/u/Pics -> /media/u/Disk/Root/home/u/Pics.")
            << QStringLiteral(
                   "Waiting for the volume of /media/u/Disk/Root: connect it, and what the interrupted "
                   "operation left there is dealt with at the next start. These paths were left as they "
                   "were found, please check them: /media/u/Disk/Root/home/u/Music/extra. Files of "
                   "/home/u/Music were left where they are because a program still has them open "
                   "(logger): /home/u/.Music.orvalink-staging-X/app.log. Once nothing holds them any "
                   "more, the next start finishes with them. An operation "
                   "record that could not be read was set aside; nothing was changed: "
                   "/support/operations/a.json.set-aside. An interrupted operation could not be put "
                   "right; nothing was changed at these paths, please check them: /home/u/.Photos."
                   "orvalink-staging-Y. This needs administrator rights, which are not asked for at "
                   "start-up, so nothing was changed.")
            << QStringLiteral(
                   "Finishing what was interrupted last time: Docs, Music. The folder list follows.");
        QTest::newRow("chinese")
            << UILanguage::chinese
            << QStringLiteral(
                   "中断的迁移已撤回，数据已回到原位置：/home/u/Docs。 复制后又有改动的项目已放到原位，"
                   "被替换的旧版本保留在：/home/u/Docs/.b.txt.orvalink-append-preserved-X。 "
                   "中断的迁移已完成：/home/u/Music → "
                   "/media/u/Disk/Root/home/u/Music。 复制后又有改动的项目已保留：/home/u/.Music."
                   "orvalink-staging-X/new.txt。 应用停止时，/home/u/Pics "
                   "的迁移正在撤回；外置磁盘上的副本完整，"
                   "因此已改为完成迁移：/home/u/Pics → /media/u/Disk/Root/home/u/Pics。")
            << QStringLiteral(
                   "正在等待 /media/u/Disk/Root "
                   "所在的磁盘：请连接它，下次启动时会处理中断的操作在那里留下的内容。 "
                   "以下位置保持原样，请检查：/media/u/Disk/Root/home/u/Music/extra。 "
                   "/home/u/Music 中的文件仍被程序打开（logger），因此保持原样："
                   "/home/u/.Music.orvalink-staging-X/app.log。程序关闭后，下次启动时会完成剩下的工作。 "
                   "一条无法读取的操作记录已移到一旁，未做任何改动：/support/operations/a.json.set-aside。 "
                   "中断的操作无法自动恢复，以下位置未做任何改动，请检查：/home/u/"
                   ".Photos.orvalink-staging-Y。 "
                   "这一步需要管理员权限，启动时不会请求，因此未做改动。")
            << QStringLiteral("正在收尾上次中断的操作：Docs、Music。稍后显示文件夹列表。");
    }
    void recoveryTexts()
    {
        QFETCH(UILanguage, language);
        QFETCH(QString, info);
        QFETCH(QString, error);
        QFETCH(QString, progress);
        ViewModelFixture fx;
        auto vm =
            fx.makeViewModelWithSettings([language](AppConfig& config) { config.uiLanguage = language; });
        const QString root = QStringLiteral("/media/u/Disk/Root");
        RecoveredOperation back;
        back.outcome = RecoveredOperation::Outcome::migrationRolledBack;
        back.sourcePath = QStringLiteral("/home/u/Docs");
        back.targetPath = root + back.sourcePath;
        back.waitingForVolume = root;
        back.olderVersions = {QStringLiteral("/home/u/Docs/.b.txt.orvalink-append-preserved-X")};
        RecoveredOperation forward;
        forward.outcome = RecoveredOperation::Outcome::migrationCompleted;
        forward.sourcePath = QStringLiteral("/home/u/Music");
        forward.targetPath = root + forward.sourcePath;
        forward.keptPaths = {QStringLiteral("/home/u/.Music.orvalink-staging-X/new.txt")};
        forward.foundPaths = {forward.targetPath + QStringLiteral("/extra")};
        forward.heldPaths = {QStringLiteral("/home/u/.Music.orvalink-staging-X/app.log")};
        forward.holders = {QStringLiteral("logger")};
        RecoveredOperation instead;
        instead.outcome = RecoveredOperation::Outcome::migrationCompleted;
        instead.completedInstead = true;
        instead.sourcePath = QStringLiteral("/home/u/Pics");
        instead.targetPath = root + instead.sourcePath;
        RecoveredOperation unreadable;
        unreadable.outcome = RecoveredOperation::Outcome::setAside;
        unreadable.recordPath = QStringLiteral("/support/operations/a.json.set-aside");
        RecoveredOperation refused;
        refused.sourcePath = QStringLiteral("/home/u/Photos");
        refused.foundPaths = {QStringLiteral("/home/u/.Photos.orvalink-staging-Y")};
        refused.needsAdministrator = true;

        const RecoveryTexts texts =
            orvalink::recoveryTexts({back, forward, instead, unreadable, refused}, vm->presentation());

        const Presentation& shown = vm->presentation();
        QCOMPARE(shown.localized(texts.info.value_or(BilingualText())), info);
        QCOMPARE(shown.localized(texts.error.value_or(BilingualText())), error);
        QCOMPARE(shown.localized(recoveryInProgressText({back.sourcePath, forward.sourcePath}, shown)),
                 progress);
    }

    // A whole tree changed after its copy: the line shows the first three paths, masked as every
    // path is, and counts the others.
    void manyKeptPathsShowTheFirstAndCountTheRest()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings([](AppConfig& config) {
            config.uiLanguage = UILanguage::english;
            config.presentationPrivacyEnabled = true;
        });
        RecoveredOperation forward;
        forward.outcome = RecoveredOperation::Outcome::migrationCompleted;
        forward.sourcePath = fx.home.home() + QStringLiteral("/Music");
        forward.targetPath = QStringLiteral("/media/u/Disk/Root") + forward.sourcePath;
        for (int i = 0; i < 5; ++i)
            forward.keptPaths.append(fx.home.home() +
                                     QStringLiteral("/.Music.orvalink-staging-X/%1.txt").arg(i));

        const RecoveryTexts texts = orvalink::recoveryTexts({forward}, vm->presentation());

        const QString info = vm->presentation().localized(texts.info.value_or(BilingualText()));
        QVERIFY2(
            info.endsWith(QStringLiteral(
                "Items that changed after they were copied were kept: ~/.Music.orvalink-staging-X/0.txt, "
                "~/.Music.orvalink-staging-X/1.txt, ~/.Music.orvalink-staging-X/2.txt and 2 more.")),
            qPrintable(info));
    }

    // The data came back, but the volume would not give up the partial copy (read-only, or locked
    // against this user): the report says what was done, and claims no "nothing was changed".
    void dataBroughtBackIsReportedWhenLeftoversStay_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("error");
        QTest::newRow("english")
            << UILanguage::english
            << QStringLiteral("An interrupted migration was undone; the data is back at /home/u/Docs.")
            << QStringLiteral("These paths were left as they were found, please check them: "
                              "/media/u/Disk/Root/home/u/Docs. Clearing these paths needs administrator "
                              "rights, which are not asked for at start-up.");
        QTest::newRow("chinese") << UILanguage::chinese
                                 << QStringLiteral("中断的迁移已撤回，数据已回到原位置：/home/u/Docs。")
                                 << QStringLiteral(
                                        "以下位置保持原样，请检查：/media/u/Disk/Root/home/u/Docs。 "
                                        "清除这些位置需要管理员权限，启动时不会请求。");
    }
    void dataBroughtBackIsReportedWhenLeftoversStay()
    {
        QFETCH(UILanguage, language);
        QFETCH(QString, info);
        QFETCH(QString, error);
        ViewModelFixture fx;
        auto vm =
            fx.makeViewModelWithSettings([language](AppConfig& config) { config.uiLanguage = language; });
        RecoveredOperation back;
        back.outcome = RecoveredOperation::Outcome::migrationRolledBack;
        back.sourcePath = QStringLiteral("/home/u/Docs");
        back.targetPath = QStringLiteral("/media/u/Disk/Root") + back.sourcePath;
        back.foundPaths = {back.targetPath};
        back.needsAdministrator = true;

        const RecoveryTexts texts = orvalink::recoveryTexts({back}, vm->presentation());

        const Presentation& shown = vm->presentation();
        QCOMPARE(shown.localized(texts.info.value_or(BilingualText())), info);
        QCOMPARE(shown.localized(texts.error.value_or(BilingualText())), error);
    }

    // A forced restore stopped at the next start: the line says that the user's folder is back and
    // where the migrated data stays.
    void stoppedForcedRestoreSaysWhereBothAre_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("info");
        QTest::newRow("english") << UILanguage::english
                                 << QStringLiteral(
                                        "An interrupted forced restore was stopped: what stood at "
                                        "/home/u/Docs is back there, and the migrated data stays at "
                                        "/media/u/Disk/Root/home/u/Docs.");
        QTest::newRow("chinese") << UILanguage::chinese
                                 << QStringLiteral(
                                        "中断的强制恢复已停止：原路径 /home/u/Docs 上原有的内容已放回，迁移的"
                                        "数据仍在 /media/u/Disk/Root/home/u/Docs。");
    }
    void stoppedForcedRestoreSaysWhereBothAre()
    {
        QFETCH(UILanguage, language);
        QFETCH(QString, info);
        ViewModelFixture fx;
        auto vm =
            fx.makeViewModelWithSettings([language](AppConfig& config) { config.uiLanguage = language; });
        RecoveredOperation stopped;
        stopped.outcome = RecoveredOperation::Outcome::forcedUndoStopped;
        stopped.kind = JournalKind::undo;
        stopped.sourcePath = QStringLiteral("/home/u/Docs");
        stopped.targetPath = QStringLiteral("/media/u/Disk/Root") + stopped.sourcePath;

        const RecoveryTexts texts = orvalink::recoveryTexts({stopped}, vm->presentation());

        QCOMPARE(vm->presentation().localized(texts.info.value_or(BilingualText())), info);
        QVERIFY(!texts.error);
    }

    // With nothing left unfinished the start-up says nothing about it and waits for nothing.
    void nothingToPutRightSaysNothing()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        MainViewModel& vm = w.vm();
        bool everRecovering = false;
        QObject::connect(&vm.activity(), &ActivityState::diskWorkChanged, [&] {
            everRecovering = everRecovering || vm.activity().diskWork() == DiskWork::recovery;
        });
        runTask(vm.launch().bootstrap());
        QVERIFY(!everRecovering);
        QVERIFY(!errorLine(vm));
        QCOMPARE(*infoLine(vm), QStringLiteral("Directory loaded. Click \"Refresh Now\" for deep scan."));
    }
};

QTEST_GUILESS_MAIN(LaunchRecoveryTest)
#include "tst_launchrecovery.moc"
