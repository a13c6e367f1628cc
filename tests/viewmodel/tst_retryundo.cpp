// Retry, forced migration and holder termination of failed items; undo of the last and of the
// selected migrations; forced restore into an occupied path. Real trees on a second file system.
#include "WorkflowFixture.h"
#include "diskops/ReservedPaths.h"
#include "platform/EntryStatus.h"
#include "platform/SymbolicLinks.h"
#include "support/HoldingProcess.h"
#include "support/SkipWithout.h"
#include "support/TaskRunner.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QScopeGuard>
#include <QTest>
#include <atomic>

using namespace orvalink;
using test::errorLine;
using test::finish;
using test::infoLine;
using test::migrate;
using test::shown;
using test::WorkflowFixture;

Q_DECLARE_METATYPE(orvalink::UILanguage)

namespace {

bool isLinkTo(const QString& path, const QString& target)
{
    return platform::readSymbolicLink(path) == std::optional<QString>(target);
}

} // namespace

class RetryUndoTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void forcedRetry_data()
    {
        QTest::addColumn<ForcedMigrationMode>("mode");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("atTarget");
        QTest::newRow("append") << ForcedMigrationMode::append << "Append Migrate"
                                << "Append migration completed for Alpha. 1 item(s) were merged"
                                << QStringList{"a.txt", "old.txt"};
        QTest::newRow("overwrite")
            << ForcedMigrationMode::overwrite << "Overwrite Migrate"
            << "Overwrite migration completed for Alpha. Previous content was preserved in "
               "hidden backup paths such as "
            << QStringList{"a.txt"};
    }

    // The force prompt explains the failure that the record's stored code names.
    void conflictPromptByStoredCode_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("opening");
        QTest::newRow("target exists") << "E004"
                                       << "The target already contains a file or folder";
        QTest::newRow("source occupied after move") << "E018"
                                                    << "The original path was recreated or occupied again";
    }

    void conflictPromptByStoredCode()
    {
        QFETCH(QString, code);
        QFETCH(QString, opening);
        test::ViewModelFixture fixture;
        const auto vm = fixture.makeViewModelWithSettings();
        FailedMigrationRecord record{QUuid::createUuid(),
                                     fixture.tree.path("Alpha"),
                                     "/media/u/Disk/Alpha",
                                     QDateTime::currentDateTimeUtc(),
                                     TaskStatus::failed,
                                     code,
                                     "failed"};
        vm->workflows().presentMigrationConflictPrompt(record);
        QVERIFY(vm->activity().migrationConflictPrompt());
        const QString message = shown(*vm, vm->activity().migrationConflictPrompt()->message);
        QVERIFY2(message.startsWith(opening), qPrintable(message));
    }

    // A failed item whose target is occupied is forced through the prompt's choice.
    void forcedRetry()
    {
        QFETCH(ForcedMigrationMode, mode);
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString alpha = w.tree.file("Alpha/a.txt", "new").section('/', 0, -2);
        test::TestTree(w.targetOf(alpha)).file("old.txt", "old");
        MainViewModel& vm = w.vm();
        migrate(vm, {alpha});
        QCOMPARE(vm.history().recentFailedMigrations().size(), 1);
        const FailedMigrationRecord record = vm.history().recentFailedMigrations().first();

        vm.workflows().presentMigrationConflictPrompt(record);
        QVERIFY(vm.activity().migrationConflictPrompt());
        QCOMPARE(shown(vm, vm.activity().migrationConflictPrompt()->title),
                 QStringLiteral("Choose a Force Migration Mode"));
        QVERIFY(shown(vm, vm.activity().migrationConflictPrompt()->message)
                    .startsWith("The target already contains a file or folder"));
        QCOMPARE(vm.activity().migrationConflictPrompt()->record, record);

        finish(vm.workflows().retryFailedMigration(record, mode, false));
        QTEST(shown(vm, vm.activity().currentOperationTitle()), "title");
        QFETCH(QString, message);
        QVERIFY2(infoLine(vm)->startsWith(message), qPrintable(*infoLine(vm)));
        QVERIFY(!vm.activity().migrationConflictPrompt());
        QVERIFY(vm.history().recentFailedMigrations().isEmpty());
        QCOMPARE(vm.history().recentMigrations().size(), 1);
        QVERIFY(isLinkTo(alpha, w.targetOf(alpha)));
        QTEST(QDir(w.targetOf(alpha)).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name), "atTarget");
        QCOMPARE(vm.activity().migrationProcessedItems(), 1);
        QCOMPARE(vm.activity().migrationSucceededItems(), 1);
    }

    // A process working inside the item makes it fail; the retry that ends holders moves it.
    void terminateHolderAndRetry()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString alpha = w.tree.file("Alpha/a.txt", "a").section('/', 0, -2);
        test::HoldingProcess::Options holding;
        holding.workingDirectory = alpha;
        test::HoldingProcess holder(holding);
        MainViewModel& vm = w.vm();
        migrate(vm, {alpha});
        QCOMPARE(vm.activity().migrationFailedItems(), 1);
        QVERIFY(platform::isRealDirectory(alpha));
        const FailedMigrationRecord record = vm.history().recentFailedMigrations().first();
        QVERIFY2(infoLine(vm)->contains("The directory is in use by: sleep"), qPrintable(*infoLine(vm)));

        finish(vm.workflows().retryFailedMigration(record, std::nullopt, true));
        QCOMPARE(shown(vm, vm.activity().currentOperationTitle()),
                 QStringLiteral("Terminate Holders and Retry"));
        QCOMPARE(infoLine(vm),
                 std::optional<QString>("Terminated holders and migrated Alpha. Processes handled: sleep."));
        QTRY_COMPARE(holder.process().state(), QProcess::NotRunning);
        QVERIFY(isLinkTo(alpha, w.targetOf(alpha)));
    }

    // A failed retry keeps the record (same id) with the new failure and shows its text.
    void failedRetryUpdatesTheRecord()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString alpha = w.tree.file("Alpha/a.txt", "a").section('/', 0, -2);
        test::TestTree(w.targetOf(alpha)).file("old.txt", "old");
        MainViewModel& vm = w.vm();
        migrate(vm, {alpha});
        FailedMigrationRecord record = vm.history().recentFailedMigrations().first();
        record.errorMessage = "stale";
        ViewModelInternals::context(vm).history().setRecentFailedMigrations({record});
        finish(vm.workflows().retryFailedMigration(record, std::nullopt, false));
        QCOMPARE(vm.history().recentFailedMigrations().size(), 1);
        QCOMPARE(vm.history().recentFailedMigrations().first().id, record.id);
        QVERIFY(vm.history().recentFailedMigrations().first().errorMessage.startsWith(
            "Target path already exists:"));
        QVERIFY(errorLine(vm)->startsWith("The target path already exists."));
        QCOMPARE(vm.activity().migrationFailedItems(), 1);
        QVERIFY(platform::isRealDirectory(alpha));
    }

    // The flows mark themselves busy before their size estimate: a second start in that pause is
    // ignored, so one restore runs.
    void busyBeforeTheEstimate()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString alpha = w.tree.fileOfSize("Alpha/a.bin", 100000).section('/', 0, -2);
        MainViewModel& vm = w.vm();
        migrate(vm, {alpha});
        QVERIFY(isLinkTo(alpha, w.targetOf(alpha)));
        auto first = vm.workflows().undoLastMigration();
        QVERIFY(vm.activity().isUndoing());
        auto second = vm.workflows().undoLastMigration();
        auto retry = vm.workflows().retryFailedMigration(
            FailedMigrationRecord{QUuid::createUuid(), alpha, {}, {}, TaskStatus::failed, {}, "x"},
            std::nullopt, false);
        finish(std::move(second));
        finish(std::move(retry));
        finish(std::move(first));
        QCOMPARE(errorLine(vm), std::nullopt);
        QCOMPARE(vm.history().lastRestoredPaths(), QStringList{alpha});
        QVERIFY(platform::isRealDirectory(alpha));
        QVERIFY(vm.history().recentFailedMigrations().isEmpty());
    }

    void undoProgressMovesAsTheDataComesHome_data()
    {
        QTest::addColumn<bool>("batch");
        QTest::newRow("last") << false;
        QTest::newRow("selected") << true;
    }

    // The data of an undo comes home into a hidden sibling of the source, which takes the source's
    // place once whole: the bytes move while the copy goes (held here after its first read of the
    // volume's file), below the total until the item is settled, and end on it. A sibling an earlier
    // run left there counts nothing.
    void undoProgressMovesAsTheDataComesHome()
    {
        QFETCH(bool, batch);
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString source = w.tree.fileOfSize("Film/big.bin", 8 * 1024 * 1024).section('/', 0, -2);
        MainViewModel& vm = w.vm();
        migrate(vm, {source});
        test::TestTree(makeReservedPath(source, ReservedSuffix::restoring))
            .fileOfSize("old", 8 * 1024 * 1024);
        const auto gate = std::make_shared<test::WorkerGate>();
        const auto reads = std::make_shared<std::atomic<int>>(0);
        test::FileOpenGate held(
            w.targetOf(source) + "/big.bin",
            [gate, reads] {
                if (++*reads > 1)
                    gate->pass(QStringLiteral("read"));
            },
            test::FileOpenGate::Openings::reads);
        SKIP_WITHOUT(held);
        const auto release = qScopeGuard([gate] { gate->open(); });
        if (batch)
            vm.workflows().selectAllUndoMappings();

        auto flow = batch ? vm.workflows().undoSelectedMigration() : vm.workflows().undoLastMigration();
        QVERIFY(gate->waitForArrivals(1));
        QTRY_VERIFY(vm.activity().migrationProcessedBytes() >= 1024 * 1024);
        QVERIFY(vm.activity().migrationProcessedBytes() < vm.activity().migrationTotalBytes());
        QVERIFY(vm.activity().isUndoing());
        QVERIFY(isLinkTo(source, w.targetOf(source)));
        gate->open();
        finish(std::move(flow));
        QCOMPARE(vm.activity().migrationProcessedBytes(), vm.activity().migrationTotalBytes());
        QCOMPARE(vm.history().lastRestoredPaths(), QStringList{source});
        QCOMPARE(QFileInfo(source + "/big.bin").size(), 8 * 1024 * 1024);
    }

    void undoLastThenSelected()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        QStringList sources;
        for (const char* name : {"One", "Two", "Three"})
            sources.append(w.tree.fileOfSize(QString(name) + "/data.bin", 20000).section('/', 0, -2));
        MainViewModel& vm = w.vm();
        migrate(vm, sources);
        QCOMPARE(vm.history().undoHistory().size(), 3);
        const LinkMapping newest = vm.history().undoHistory().first();

        finish(vm.workflows().undoLastMigration());
        QCOMPARE(shown(vm, vm.activity().currentOperationTitle()), QStringLiteral("Undo Last Move"));
        QVERIFY2(
            infoLine(vm)->startsWith("Undo completed: " + QFileInfo(newest.sourcePath).fileName() + " ("),
            qPrintable(*infoLine(vm)));
        QCOMPARE(vm.history().lastRestoredPaths(), QStringList{newest.sourcePath});
        QVERIFY(platform::isRealDirectory(newest.sourcePath));
        QCOMPARE(vm.activity().migrationProcessedBytes(), vm.activity().migrationTotalBytes());
        QCOMPARE(vm.history().undoHistory().size(), 2);

        vm.workflows().selectAllUndoMappings();
        QCOMPARE(vm.history().selectedUndoMappingIDs().size(), 2);
        finish(vm.workflows().undoSelectedMigration());
        QCOMPARE(shown(vm, vm.activity().currentOperationTitle()), QStringLiteral("Undo Selected Records"));
        QCOMPARE(infoLine(vm), std::optional<QString>("Restored 2 records."));
        QCOMPARE(vm.activity().migrationSucceededItems(), 2);
        for (const QString& source : sources)
            QVERIFY(platform::isRealDirectory(source) && QFileInfo(source + "/data.bin").size() == 20000);
        QVERIFY(vm.history().undoHistory().isEmpty());
        QVERIFY(vm.history().selectedUndoMappingIDs().isEmpty());

        ViewModelInternals::context(vm).history().setSelectedUndoMappingIDs({});
        finish(vm.workflows().undoSelectedMigration());
        QCOMPARE(infoLine(vm), std::optional<QString>("Select at least one migration record first."));
        finish(vm.workflows().undoLastMigration());
        QCOMPARE(infoLine(vm), std::optional<QString>("No migration record available to undo."));
    }

    // A migration with a failure, then undos: each run starts from a clean status line and dock, so
    // nothing said or listed speaks of the migration (or of the undo before) any more.
    void anUndoSpeaksOfItsOwnRun()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString alpha = w.tree.file("Alpha/a.txt", "a").section('/', 0, -2);
        test::TestTree(w.targetOf(alpha)).file("old.txt", "old");
        const QString downloads = w.tree.fileOfSize("Downloads/d.bin", 20000).section('/', 0, -2);
        const QString movies = w.tree.fileOfSize("Movies/m.bin", 20000).section('/', 0, -2);
        MainViewModel& vm = w.vm();
        migrate(vm, {alpha, downloads, movies});
        QVERIFY2(infoLine(vm)->startsWith("Migration done. Success: 2, failed: 1."),
                 qPrintable(*infoLine(vm)));
        QCOMPARE(vm.history().recentMigrations().size(), 2);
        QCOMPARE(vm.history().recentFailedMigrations().size(), 1);

        const auto moviesRecord =
            std::find_if(vm.history().undoHistory().cbegin(), vm.history().undoHistory().cend(),
                         [&](const LinkMapping& m) { return m.sourcePath == movies; });
        QVERIFY(moviesRecord != vm.history().undoHistory().cend());
        ViewModelInternals::context(vm).history().setSelectedUndoMappingIDs({moviesRecord->id});
        finish(vm.workflows().undoSelectedMigration());
        QCOMPARE(infoLine(vm), std::optional<QString>("Selected record was restored."));
        QCOMPARE(vm.history().lastRestoredPaths(), QStringList{movies});
        QVERIFY(vm.history().recentMigrations().isEmpty());
        QVERIFY(vm.history().recentFailedMigrations().isEmpty());

        // The volume is gone: the next undo fails, and says only that, in its alert and on the status
        // line.
        w.volume.reset();
        finish(vm.workflows().undoLastMigration());
        const std::optional<QString> blocked("Undo is blocked because the mapped target path is missing.");
        QCOMPARE(infoLine(vm), blocked);
        QCOMPARE(errorLine(vm), blocked);
        QVERIFY(vm.history().lastRestoredPaths().isEmpty());
        QCOMPARE(vm.activity().migrationFailedItems(), 1);
        QCOMPARE(vm.activity().migrationSucceededItems(), 0);
    }

    void undoWithTheVolumeUnpluggedIsLocalized_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("expected");
        QTest::newRow("english") << UILanguage::english
                                 << "Undo is blocked because the mapped target path is missing.";
        QTest::newRow("chinese") << UILanguage::chinese << "无法反悔，因为已迁移目标目录不存在。";
    }

    // The engine's English description becomes the user's text, also for a folder with a Chinese
    // name; the link stays where it was.
    void undoWithTheVolumeUnpluggedIsLocalized()
    {
        QFETCH(UILanguage, language);
        WorkflowFixture w(language);
        SKIP_WITHOUT(w);
        const QString source = w.tree.fileOfSize("照片/data.bin", 20000).section('/', 0, -2);
        MainViewModel& vm = w.vm();
        migrate(vm, {source});
        QCOMPARE(vm.history().undoHistory().size(), 1);
        w.volume.reset();
        finish(vm.workflows().undoLastMigration());
        QTEST(errorLine(vm).value_or(QString()), "expected");
        QVERIFY(isLinkTo(source, w.targetOf(source)));
        QCOMPARE(vm.history().undoHistory().size(), 1);
    }

    void refusedUndoSaysWhy_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("opening");
        QTest::addColumn<UILanguage>("switchedTo");
        QTest::addColumn<QString>("switchedOpening");
        QTest::newRow("english") << UILanguage::english << "Undo was refused: what stands at "
                                 << UILanguage::chinese << "无法反悔：无法确认 ";
        QTest::newRow("chinese") << UILanguage::chinese << "无法反悔：无法确认 " << UILanguage::bilingual
                                 << "无法反悔：无法确认 ";
    }

    // The folder above the target on the volume was swapped for a link to another one: the undo
    // refuses, says so in the user's language (and in the one chosen after), and the link and the
    // record stay.
    void refusedUndoSaysWhy()
    {
        QFETCH(UILanguage, language);
        QFETCH(QString, opening);
        WorkflowFixture w(language);
        SKIP_WITHOUT(w);
        const QString source = w.tree.fileOfSize("Docs/data.bin", 20000).section('/', 0, -2);
        MainViewModel& vm = w.vm();
        migrate(vm, {source});
        const QString target = w.targetOf(source);
        const QString parent = target.section('/', 0, -2);
        QVERIFY(QDir().rename(parent, parent + "-aside"));
        QVERIFY(QDir().mkpath(parent + "-other/Docs"));
        QVERIFY(QFile::link(parent + "-other", parent));

        finish(vm.workflows().undoLastMigration());

        const QString message = errorLine(vm).value_or(QString());
        QVERIFY2(message.startsWith(opening), qPrintable(message));
        QVERIFY(message.contains(source.section('/', -1)));
        QFETCH(UILanguage, switchedTo);
        QFETCH(QString, switchedOpening);
        vm.settings().setLanguage(switchedTo);
        const QString switched = errorLine(vm).value_or(QString());
        QVERIFY2(switched.startsWith(switchedOpening) && switched != message, qPrintable(switched));
        QCOMPARE(switched.contains(QStringLiteral(" Undo was refused: what stands at ")),
                 switchedTo == UILanguage::bilingual);
        QVERIFY(isLinkTo(source, target));
        QVERIFY(platform::isRealDirectory(parent + "-aside/Docs"));
        QCOMPARE(vm.history().undoHistory().size(), 1);
    }

    void forcedRestore_data()
    {
        QTest::addColumn<ForcedUndoRestoreMode>("mode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("restored");
        QTest::newRow("append") << ForcedUndoRestoreMode::append
                                << "Append restore completed for Alpha. The original path was restored and 1 "
                                   "current-folder item(s) were merged."
                                << QStringList{"a.txt", "new.txt"};
        QTest::newRow("overwrite")
            << ForcedUndoRestoreMode::overwrite
            << "Overwrite restore completed for Alpha. The original path was restored and the "
               "previously occupying content was preserved at "
            << QStringList{"a.txt"};
    }

    // An undo into a path occupied again asks for a forced mode; the answer restores within the same
    // run.
    void forcedRestore()
    {
        QFETCH(ForcedUndoRestoreMode, mode);
        QFETCH(QString, message);
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString alpha = test::migrateThenOccupy(w);
        MainViewModel& vm = w.vm();

        test::QuestionedRun run(vm, vm.workflows().undoLastMigration());
        const std::optional<UndoConflictPrompt> asked = run.question();
        QVERIFY(asked);
        QCOMPARE(shown(vm, asked->title), QStringLiteral("Choose a Force Restore Mode"));
        QCOMPARE(infoLine(vm),
                 std::optional<QString>("The original path has been occupied again. Choose Append "
                                        "Restore (Recommended) or Overwrite Restore."));
        QCOMPARE(errorLine(vm), std::nullopt);
        QCOMPARE(vm.activity().migrationFailedItems(), 0);
        const LinkMapping mapping = asked->mapping;

        QCOMPARE(run.answer(*asked, mode == ForcedUndoRestoreMode::append
                                        ? UndoConflictAnswer::appendRestore
                                        : UndoConflictAnswer::overwriteRestore),
                 std::nullopt);
        QVERIFY2(infoLine(vm)->startsWith(message), qPrintable(*infoLine(vm)));
        QCOMPARE(vm.activity().migrationSucceededItems(), 1);
        QCOMPARE(vm.activity().migrationFailedItems(), 0);
        QTEST(QDir(alpha).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name), "restored");
        QCOMPARE(vm.history().lastRestoredPaths(), QStringList{alpha});
        QVERIFY(vm.history().undoHistory().isEmpty());

        // The record is gone now: a second forced restore reports it.
        finish(vm.workflows().forceUndoMigration(mapping, mode));
        QVERIFY(errorLine(vm));
        QVERIFY(vm.history().lastRestoredPaths().isEmpty());
    }
};

QTEST_GUILESS_MAIN(RetryUndoTest)
#include "tst_retryundo.moc"
