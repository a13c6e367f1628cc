// What the window says when an undo cannot simply run or end: programs that use the migrated folder
// (a question that names them and offers to end them, answered into the run that asked), an occupied
// source path (a question of the forced mode), a history that cannot be written once the data is
// home, and files left on the volume (said with where they are, in each language, and kept in view
// with the append restore that brings them home).
#include "WorkflowFixture.h"
#include "diskops/OperationJournal.h"
#include "diskops/RecordedIdentity.h"
#include "diskops/UndoIncomplete.h"
#include "diskops/UndoNotDone.h"
#include "diskops/UndoWaitsForMigration.h"
#include "model/AppPaths.h"
#include "platform/EntryStatus.h"
#include "platform/PlatformError.h"
#include "platform/SymbolicLinks.h"
#include "store/LogService.h"
#include "support/FailingFolder.h"
#include "support/FileOpenGate.h"
#include "support/ForkedHolder.h"
#include "support/HoldingProcess.h"
#include "support/ImmutableFlag.h"
#include "support/SkipWithout.h"
#include "support/TaskRunner.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/disk/UndoTriage.h"
#include "viewmodel/state/Prompts.h"
#include "viewmodel/state/ViewModelServices.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace orvalink;
using test::errorLine;
using test::finish;
using test::infoLine;
using test::migrate;
using test::QuestionedRun;
using test::shown;
using test::WorkflowFixture;

Q_DECLARE_METATYPE(orvalink::UILanguage)
Q_DECLARE_METATYPE(orvalink::UndoConflictAnswer)

namespace {

// Refuses every administrator command as pkexec does without an authority to ask through.
class RefusingRunner : public platform::CommandRunner {
public:
    explicit RefusingRunner(QByteArray refusal) : m_refusal(std::move(refusal)) {}
    platform::CommandOutcome run(const QString&) override { return {127, false, {}, m_refusal}; }

private:
    QByteArray m_refusal;
};

} // namespace

class UndoEndingsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void programsInTheFolderAreNamedAndEndedOnRequest_data()
    {
        QTest::addColumn<bool>("staged"); // a newer version a start left in the staged folder is held
        QTest::newRow("a shell in the migrated folder") << false;
        QTest::newRow("a logger holding a newer version a start left staged") << true;
    }
    // A shell sits in the migrated folder, or a start linked the folder while a program held the
    // newer version of a file in the staged folder: the undo asks, naming the programs (and the
    // staged file), and changes nothing while it waits; the answer "end them" goes back to that run,
    // which ends them, finishes the waiting migration first and undoes, the newest version at home,
    // and the success says whom it ended.
    void programsInTheFolderAreNamedAndEndedOnRequest()
    {
        QFETCH(bool, staged);
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString source = w.tree.file("Notes/a.txt", "a").section('/', 0, -2);
        w.tree.file("Notes/sub/b.txt", "b");
        MainViewModel& vm = w.vm();
        std::optional<test::HoldingProcess> shell;
        std::optional<test::ForkedHolder> logger;
        QString held;
        if (staged) {
            const JournalRecord record = test::leaveStagedMigration(w, source, [](JournalRecord& entry) {
                test::copyTree(entry.stagingPath, entry.targetPath);
                entry.targetIdentity = entryIdentityText(entry.targetPath);
                entry.moving = entry.arrived = true;
                QFile newer(entry.stagingPath + "/a.txt");
                QVERIFY(newer.open(QIODevice::Append) && newer.write(", later") == 7);
            });
            held = record.stagingPath + "/a.txt";
            logger.emplace(held, test::ForkedHolder::Hold::open);
            QVERIFY(logger->isHolding());
            test::runTask(vm.launch().bootstrap());
            QVERIFY(test::waitUntilIdle(vm));
        } else {
            migrate(vm, {source});
            test::HoldingProcess::Options sitting;
            sitting.workingDirectory = source + "/sub";
            shell.emplace(sitting);
        }
        const QString name = staged ? "holder" : "sleep";

        QuestionedRun run(vm, vm.workflows().undoLastMigration());
        const std::optional<UndoConflictPrompt> prompt = run.question();
        QVERIFY(prompt);
        QCOMPARE(prompt->holders, QStringList{name});
        QCOMPARE(shown(vm, prompt->title), QStringLiteral("Programs Are Using This Folder"));
        const QString message = shown(vm, prompt->message);
        QVERIFY2(message.startsWith(staged
                                        ? "These programs hold " + held + ", a newer version of a file in " +
                                              source + " that its migration has not put in place yet: holder."
                                        : "These programs are using files in " + source + ": sleep."),
                 qPrintable(message));
        QCOMPARE(infoLine(vm), std::optional<QString>(
                                   "Close the programs using this folder before the undo: " + name + "."));
        QCOMPARE(errorLine(vm), std::nullopt);
        QCOMPARE(platform::readSymbolicLink(source), std::optional(w.targetOf(source)));
        QCOMPARE(vm.history().undoHistory().size(), 1);
        if (shell)
            QCOMPARE(shell->process().state(), QProcess::Running);

        QCOMPARE(run.answer(*prompt, UndoConflictAnswer::endPrograms), std::nullopt);
        QVERIFY(!vm.activity().undoConflictPrompt());
        QCOMPARE(shown(vm, vm.activity().currentOperationTitle()), QStringLiteral("Undo Last Move"));
        QVERIFY2(infoLine(vm)->startsWith("Undo completed: Notes (") &&
                     infoLine(vm)->endsWith(" Programs ended: " + name + "."),
                 qPrintable(*infoLine(vm)));
        if (shell)
            QTRY_COMPARE(shell->process().state(), QProcess::NotRunning);
        QVERIFY(platform::isRealDirectory(source));
        QCOMPARE(w.tree.read("Notes/a.txt"), staged ? QByteArray("a, later") : QByteArray("a"));
        QVERIFY(vm.history().undoHistory().isEmpty());
        QVERIFY(OperationJournal::recordPaths().isEmpty());
        QCOMPARE(vm.activity().migrationSucceededItems(), 1);
        QCOMPARE(vm.activity().migrationFailedItems(), 0);
    }

    void aQuestionIsNoFailure_data()
    {
        QTest::addColumn<bool>("batch");
        QTest::addColumn<UndoConflictAnswer>("answer");
        QTest::addColumn<QList<qint64>>("counted"); // processed, succeeded, failed
        QTest::addColumn<QString>("info");
        QTest::newRow("last, ended") << false << UndoConflictAnswer::endPrograms << QList<qint64>{1, 1, 0}
                                     << "Undo completed: Held (";
        QTest::newRow("last, cancelled")
            << false << UndoConflictAnswer::cancel << QList<qint64>{1, 0, 1}
            << "Undo cancelled: Held stays on the external disk, and its record stays in the history.";
        QTest::newRow("batch, ended")
            << true << UndoConflictAnswer::endPrograms << QList<qint64>{2, 2, 0} << "Restored 2 records.";
        QTest::newRow("batch, cancelled") << true << UndoConflictAnswer::cancel << QList<qint64>{2, 1, 1}
                                          << "Undo batch finished. Success: 1, failed: 1.";
    }

    // While the run asks about the programs holding one item, it counts that item neither done nor
    // failed; answered, the same run goes on with the same item and counts it once, as the answer
    // settled it. Cancel leaves the item as it was, its record in the history.
    void aQuestionIsNoFailure()
    {
        QFETCH(bool, batch);
        QFETCH(UndoConflictAnswer, answer);
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString held = w.tree.file("Held/a.txt", "a").section('/', 0, -2);
        const QString free = w.tree.file("Free/b.txt", "b").section('/', 0, -2);
        MainViewModel& vm = w.vm();
        migrate(vm, {free, held});
        test::HoldingProcess::Options sitting;
        sitting.workingDirectory = held;
        test::HoldingProcess holder(sitting);
        if (batch)
            vm.workflows().selectAllUndoMappings();
        else
            ViewModelInternals::context(vm).history().setUndoHistory(
                {*std::find_if(vm.history().undoHistory().cbegin(), vm.history().undoHistory().cend(),
                               [&](const LinkMapping& m) { return m.sourcePath == held; })});

        QuestionedRun run(vm, batch ? vm.workflows().undoSelectedMigration()
                                    : vm.workflows().undoLastMigration());
        const std::optional<UndoConflictPrompt> asked = run.question();
        QVERIFY(asked);
        QCOMPARE(asked->mapping.sourcePath, held);
        QVERIFY(vm.activity().isUndoing());
        QCOMPARE(vm.activity().migrationFailedItems(), 0);
        QCOMPARE(vm.activity().migrationSucceededItems(), vm.activity().migrationProcessedItems());
        QCOMPARE(vm.activity().migrationCurrentPath(), std::optional(held));
        QVERIFY(!vm.workflows().mayStartDiskWork());

        QCOMPARE(run.answer(*asked, answer), std::nullopt);
        QVERIFY(!vm.activity().isUndoing());
        QFETCH(QList<qint64>, counted);
        QCOMPARE(
            (QList<qint64>{vm.activity().migrationProcessedItems(), vm.activity().migrationSucceededItems(),
                           vm.activity().migrationFailedItems()}),
            counted);
        QFETCH(QString, info);
        QVERIFY2(infoLine(vm).value_or(QString()).startsWith(info),
                 qPrintable(infoLine(vm).value_or("none")));
        QCOMPARE(errorLine(vm), std::nullopt);
        QVERIFY(!vm.activity().undoConflictPrompt());
        const bool cancelled = answer == UndoConflictAnswer::cancel;
        QCOMPARE(platform::readSymbolicLink(held),
                 cancelled ? std::optional(w.targetOf(held)) : std::nullopt);
        QCOMPARE(w.tree.read("Held/a.txt"), QByteArray("a"));
        const QList<LinkMapping>& left = vm.history().undoHistory();
        QCOMPARE(std::any_of(left.cbegin(), left.cend(),
                             [&](const LinkMapping& m) { return m.sourcePath == held; }),
                 cancelled);
        if (cancelled)
            QCOMPARE(holder.process().state(), QProcess::Running);
    }

    // The source was taken again and, once the mode is chosen, a program opens the migrated folder:
    // the run asks each question once, and the programs are ended and the item restored in the mode
    // chosen before, the two answers together.
    void theModeTravelsWithEndingPrograms()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString alpha = migrateThenOccupy(w);
        MainViewModel& vm = w.vm();

        QuestionedRun run(vm, vm.workflows().undoLastMigration());
        const std::optional<UndoConflictPrompt> mode = run.question();
        QVERIFY(mode);
        QCOMPARE(shown(vm, mode->title), QStringLiteral("Choose a Force Restore Mode"));
        test::HoldingProcess::Options sitting;
        sitting.workingDirectory = w.targetOf(alpha);
        test::HoldingProcess holder(sitting);

        const std::optional<UndoConflictPrompt> programs =
            run.answer(*mode, UndoConflictAnswer::appendRestore);
        QVERIFY(programs);
        QCOMPARE(shown(vm, programs->title), QStringLiteral("Programs Are Using This Folder"));
        QCOMPARE(programs->holders, QStringList{"sleep"});
        QCOMPARE(vm.activity().migrationFailedItems(), 0);

        QCOMPARE(run.answer(*programs, UndoConflictAnswer::endPrograms), std::nullopt);
        QVERIFY2(
            infoLine(vm)->startsWith("Append restore completed for Alpha. The original path was restored "
                                     "and 1 current-folder item(s) were merged.") &&
                infoLine(vm)->endsWith(" Programs ended: sleep."),
            qPrintable(*infoLine(vm)));
        QCOMPARE(errorLine(vm), std::nullopt);
        QCOMPARE(QDir(alpha).entryList(QDir::Files, QDir::Name), (QStringList{"a.txt", "new.txt"}));
        QVERIFY(vm.history().undoHistory().isEmpty());
        QTRY_COMPARE(holder.process().state(), QProcess::NotRunning);
        QCOMPARE(vm.activity().migrationSucceededItems(), 1);
    }

    void historyThatCannotBeWrittenIsSaid_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<bool>("batch");
        QTest::addColumn<QString>("opening");
        QTest::addColumn<QString>("ending");
        for (const bool batch : {false, true}) {
            QTest::addRow("english%s", batch ? ", selected" : "")
                << UILanguage::english << batch
                << "Notes is back at %1, but the history could not be updated ("
                << "). The record will be completed at the next start.";
            QTest::addRow("chinese%s", batch ? ", selected" : "")
                << UILanguage::chinese << batch << "「Notes」的数据已移回 %1，但历史记录无法更新（"
                << "）。下次启动时会补全这条记录。";
        }
    }

    // The history folder is read-only: the data comes home, the window counts it restored and says
    // that the history still lists it until the next start.
    void historyThatCannotBeWrittenIsSaid()
    {
        QFETCH(UILanguage, language);
        QFETCH(bool, batch);
        WorkflowFixture w(language);
        SKIP_WITHOUT(w);
        test::FailingFolder history(AppPaths::historyDirectory());
        SKIP_WITHOUT(history);
        const QString source = w.tree.file("Notes/a.txt", "a").section('/', 0, -2);
        MainViewModel& vm = w.vm();
        migrate(vm, {source});
        QCOMPARE(vm.history().undoHistory().size(), 1);
        QVERIFY(history.fail(test::WriteFault::readOnly));

        if (batch) {
            vm.workflows().selectAllUndoMappings();
            finish(vm.workflows().undoSelectedMigration());
            QCOMPARE(vm.activity().migrationSucceededItems(), 1);
            QCOMPARE(vm.activity().migrationFailedItems(), 0);
        } else {
            finish(vm.workflows().undoLastMigration());
        }
        const QString message = errorLine(vm).value_or(QString());
        QFETCH(QString, opening);
        QFETCH(QString, ending);
        QVERIFY2(message.startsWith(opening.arg(source)) && message.endsWith(ending), qPrintable(message));
        QVERIFY(message.contains("Read-only file system"));
        QCOMPARE(vm.history().lastRestoredPaths(), QStringList{source});
        QVERIFY(platform::isRealDirectory(source));
        QCOMPARE(w.tree.read("Notes/a.txt"), QByteArray("a"));
    }

    void leftBehindStaysInViewWithItsRemedy_data()
    {
        QTest::addColumn<bool>("batch");
        QTest::newRow("last") << false;
        QTest::newRow("selected") << true;
    }

    // A program writes a file into the migrated folder while the undo brings it home: the undo
    // leaves that file on the volume. The window is told so, and the dock's record says where the
    // data is, where the rest stayed and how many entries; it is no restored path. The append
    // restore of its mapping brings the rest home, and the record goes with the run that does.
    void leftBehindStaysInViewWithItsRemedy()
    {
        QFETCH(bool, batch);
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString source = w.tree.file("Notes/a.txt", "a").section('/', 0, -2);
        MainViewModel& vm = w.vm();
        migrate(vm, {source});
        const LinkMapping mapping = vm.history().undoHistory().constFirst();
        test::WriterDuringUndo writer(w, source, "late.txt");
        SKIP_WITHOUT(writer);

        if (batch) {
            vm.workflows().selectAllUndoMappings();
            finish(vm.workflows().undoSelectedMigration());
        } else {
            finish(vm.workflows().undoLastMigration());
        }
        QVERIFY(writer.hasWritten());
        QVERIFY(platform::isRealDirectory(source));
        QCOMPARE(w.tree.read("Notes/a.txt"), QByteArray("a"));
        QVERIFY(QFileInfo::exists(writer.writtenPath()));
        QCOMPARE(vm.activity().migrationFailedItems(), 1);
        QVERIFY2(
            errorLine(vm).value_or(QString()).startsWith("Notes is back at " + source + ", but 1 item(s)"),
            qPrintable(errorLine(vm).value_or("none")));
        QVERIFY(vm.history().lastRestoredPaths().isEmpty());
        QCOMPARE(vm.history().undoLeftovers().size(), 1);
        const LeftBehindRecord left = vm.history().undoLeftovers().constFirst();
        QCOMPARE(left.mapping, mapping);
        QCOMPARE(left.id, mapping.id);
        QCOMPARE(left.sourcePath, source);
        QCOMPARE(left.targetPath, w.targetOf(source));
        QCOMPARE(left.leftoverCount, 1);
        QCOMPARE(vm.history().undoHistory(), QList<LinkMapping>{mapping});

        finish(vm.workflows().forceUndoMigration(left.mapping, ForcedUndoRestoreMode::append));
        QCOMPARE(w.tree.read("Notes/late.txt"), QByteArray("late"));
        QCOMPARE(w.tree.read("Notes/a.txt"), QByteArray("a"));
        QVERIFY(!QFileInfo::exists(w.targetOf(source)));
        QVERIFY(vm.history().undoLeftovers().isEmpty());
        QCOMPARE(vm.history().lastRestoredPaths(), QStringList{source});
        QVERIFY(vm.history().undoHistory().isEmpty());
        QCOMPARE(errorLine(vm), std::nullopt);
    }

    void copiesThatStayedReadOneWay_data() { leftBehindStaysInViewWithItsRemedy_data(); }

    // Two files of the migrated folder are immutable on the volume: the undo is done (the data whole
    // at home, the record gone), and both buttons answer alike, with no failure: the status line says
    // where the copies stayed and how many files the user finds there (two, in the one folder the
    // removal stopped at), and the dock keeps a record of them in view, with nothing to restore.
    void copiesThatStayedReadOneWay()
    {
        QFETCH(bool, batch);
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        w.tree.file("Docs/a.txt", "a");
        w.tree.file("Docs/b.txt", "b");
        const QString source = w.tree.file("Docs/c.txt", "c").section('/', 0, -2);
        MainViewModel& vm = w.vm();
        migrate(vm, {source});
        const QString target = w.targetOf(source);
        if (batch)
            vm.workflows().selectAllUndoMappings();
        {
            const test::ImmutableFlag a(target + "/a.txt"), b(target + "/b.txt");
            if (!a.isSet() || !b.isSet())
                QSKIP(qPrintable(a.skipReason()));
            finish(batch ? vm.workflows().undoSelectedMigration() : vm.workflows().undoLastMigration());
        }
        QCOMPARE(w.tree.read("Docs/a.txt"), QByteArray("a"));
        QVERIFY(vm.history().undoHistory().isEmpty());
        QCOMPARE(vm.history().lastRestoredPaths(), QStringList{source});
        QCOMPARE(vm.activity().migrationFailedItems(), 0);
        QCOMPARE(errorLine(vm), std::nullopt);
        const QString info = infoLine(vm).value_or(QString());
        const QString copiesSaid =
            ") The external disk would not let 2 copied item(s) of Docs be removed: they "
            "stayed in " +
            target + ", and the log lists them: " + AppPaths::logsFile();
        QVERIFY2(info.startsWith("Undo completed: Docs (") && info.contains(copiesSaid), qPrintable(info));
        QCOMPARE(vm.history().undoLeftovers().size(), 1);
        QVERIFY(vm.history().undoLeftovers().constFirst().copiesOnly);
        QCOMPARE(vm.history().undoLeftovers().constFirst().leftoverCount, 2);
    }

    // A file of the migrated folder cannot be opened on the volume and the administrator cannot be
    // asked (no authority to ask through): the undo does not happen. Its log line names the file and
    // what stopped it there, not the administrator's failure; the question for rights names that
    // file; and once the question goes (Later), the status line still says how the undo ended, as
    // its alert does.
    void anUndoThatDidNotHappenSaysWhy()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QByteArray authority(
            "Error getting authority: Error initializing authority: Could not connect");
        w.administrator = std::make_shared<RefusingRunner>(authority);
        const QString source = w.tree.file("Docs/a.txt", "a").section('/', 0, -2);
        w.tree.file("Docs/b.txt", "b");
        MainViewModel& vm = w.vm();
        migrate(vm, {source});
        const QString unreadable = w.targetOf(source) + "/b.txt";
        struct stat locked {};
        QCOMPARE(::stat(QFile::encodeName(unreadable).constData(), &locked), 0);
        test::FileOpenGate refusing(
            w.targetOf(source), [] {}, test::FileOpenGate::Openings::files,
            [inode = locked.st_ino](const struct stat& info) { return info.st_ino == inode; });
        SKIP_WITHOUT(refusing);

        finish(vm.workflows().undoLastMigration());
        QVERIFY(platform::readSymbolicLink(source));
        QCOMPARE(vm.history().undoHistory().size(), 1);
        const QString refused = "Operation not permitted";
        const QString answer = errorLine(vm).value_or(QString());
        QVERIFY2(answer.startsWith("The undo of Docs did not happen and nothing was changed: " + refused +
                                   " at " + unreadable),
                 qPrintable(answer));
        // The undo's own line, as it ended: the file and what the user's rights met there.
        const QString logged =
            ViewModelInternals::context(vm).services().logService->loadRecent(1).value(0).message;
        QVERIFY2(logged.startsWith("Undo failed, nothing was changed (" + refused + ": " + unreadable + ")"),
                 qPrintable(logged));
        const std::optional<AccessRequirementPrompt> question = vm.activity().accessRequirementPrompt();
        QVERIFY(question &&
                shown(vm, question->message).contains("needs administrator rights for " + unreadable));
        vm.prompts().dismissAccessRequirement();
        QCOMPARE(infoLine(vm), std::optional(answer));
    }

    void leftBehindSaysWhereAndHowMany_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("counted");
        QTest::addColumn<QString>("logged");
        QTest::newRow("english") << UILanguage::english << " 2540 item(s) written to it during the undo "
                                 << "; the log lists them: ";
        QTest::newRow("chinese") << UILanguage::chinese << "反悔期间写入的 2540 项内容"
                                 << " 中，完整列表见日志 ";
        QTest::newRow("bilingual") << UILanguage::bilingual << " 2540 item(s) written to it during the undo "
                                   << "，完整列表见日志 ";
    }

    // A program wrote 2,540 files through the link while the undo ran: the message names the folder
    // on the volume where they stayed, how many they are and the log that lists them, never the
    // files themselves, so it stays a few lines long in every language: as long as for 1,000 files.
    void leftBehindSaysWhereAndHowMany()
    {
        QFETCH(UILanguage, language);
        test::ViewModelFixture fx;
        auto vm =
            fx.makeViewModelWithSettings([language](AppConfig& config) { config.uiLanguage = language; });
        const LinkMapping mapping{QUuid::createUuid(),
                                  fx.tree.path("Movies"),
                                  "/media/u/Disk/Store" + fx.tree.path("Movies"),
                                  "u",
                                  {},
                                  QDateTime::currentDateTimeUtc(),
                                  QDateTime::currentDateTimeUtc()};
        const auto messageFor = [&](int writtenCount) {
            QStringList written;
            for (int i = 0; i < writtenCount; ++i)
                written.append(mapping.targetPath +
                               QStringLiteral("/cache/frame-%1.tmp").arg(i, 5, 10, QChar('0')));
            const LeftBehindRecord leftBehind{mapping.id,         mapping,
                                              mapping.sourcePath, mapping.targetPath,
                                              written.size(),     QDateTime::currentDateTime()};
            return shown(*vm, leftBehindMessage(vm->workflows().context(), leftBehind));
        };

        const QString message = messageFor(2540);
        QFETCH(QString, counted);
        QFETCH(QString, logged);
        QVERIFY2(message.contains(counted), qPrintable(message));
        QVERIFY2(message.contains(logged + AppPaths::logsFile()), qPrintable(message));
        QVERIFY(message.contains(mapping.targetPath));
        QVERIFY2(!message.contains("frame-"), qPrintable(message.left(400)));
        // The same number of digits: only a text that grew with the files would differ in length.
        QCOMPARE(message.size(), messageFor(1000).size());
    }

    // An undo that failed with everything as it was says so, with the file that failed and where the
    // data is; one that left copies on the volume says where and how many, and that the data is home.
    void endingsSayWhatHappened_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QStringList>("notDone");
        QTest::addColumn<QStringList>("copies");
        QTest::addColumn<QStringList>("waits"); // while a start left the migration waiting
        QTest::addColumn<QStringList>("held");  // for a newer version a program holds
        QTest::newRow("english") << UILanguage::english
                                 << QStringList{"did not happen and nothing was changed",
                                                "Permission denied at "}
                                 << QStringList{"would not let 2 copied item(s) of Movies be removed",
                                                "The data is whole at home"}
                                 << QStringList{"The undo waits and changed nothing", "is not finished yet"}
                                 << QStringList{"These programs still hold", "a newer version", ": tail."};
        QTest::newRow("chinese") << UILanguage::chinese << QStringList{"没有反悔，什么都没有改动", " 出错（"}
                                 << QStringList{"不允许删除「Movies」的 2 项副本", "数据已完整移回"}
                                 << QStringList{"反悔暂未进行，没有做任何改动", "的迁移尚未完成"}
                                 << QStringList{"这些程序仍在占用", "较新版本", "：tail。"};
        QTest::newRow("bilingual") << UILanguage::bilingual
                                   << QStringList{"没有反悔", "did not happen and nothing was changed"}
                                   << QStringList{"2 项副本", " 2 copied item(s)"}
                                   << QStringList{"反悔暂未进行", "The undo waits"}
                                   << QStringList{"仍在占用", "still hold"};
    }

    void endingsSayWhatHappened()
    {
        QFETCH(UILanguage, language);
        QFETCH(QStringList, notDone);
        QFETCH(QStringList, copies);
        test::ViewModelFixture fx;
        auto vm =
            fx.makeViewModelWithSettings([language](AppConfig& config) { config.uiLanguage = language; });
        const QString source = fx.tree.path("Movies");
        const QString target = "/media/u/Disk/Store" + source;
        const LinkMapping mapping{QUuid::createUuid(),
                                  source,
                                  target,
                                  "u",
                                  {},
                                  QDateTime::currentDateTimeUtc(),
                                  QDateTime::currentDateTimeUtc()};

        const platform::PlatformError unreadable =
            platform::PlatformError::fromErrno(EACCES, target + "/a.mov");
        const UndoNotDone failed(source, target,
                                 OrvalinkError::Underlying{unreadable.message(), EACCES, true,
                                                           std::make_exception_ptr(unreadable)});
        const QString failedText = shown(
            *vm, undoFailureMessage(vm->workflows().context(), std::make_exception_ptr(failed), mapping));
        for (const QString& part : notDone + QStringList{target + "/a.mov", target})
            QVERIFY2(failedText.contains(part), qPrintable(failedText));
        QVERIFY2(!failedText.contains("rollback"), qPrintable(failedText));

        const LeftBehindRecord stayed{mapping.id, mapping, source, target, 2, QDateTime::currentDateTime(),
                                      true};
        const QString copiesText = shown(*vm, leftBehindMessage(vm->workflows().context(), stayed));
        for (const QString& part : copies + QStringList{target, AppPaths::logsFile()})
            QVERIFY2(copiesText.contains(part), qPrintable(copiesText));

        QFETCH(QStringList, waits);
        const QString waitsText = shown(
            *vm, undoFailureMessage(vm->workflows().context(),
                                    std::make_exception_ptr(UndoWaitsForMigration(source, "why")), mapping));
        for (const QString& part : waits + QStringList{source, AppPaths::logsFile()})
            QVERIFY2(waitsText.contains(part), qPrintable(waitsText));
        // A newer version in the staged folder, beside the source: named, with its programs.
        QFETCH(QStringList, held);
        const QString staged = fx.tree.path(".Movies.orvalink-staging-1/app.log");
        const QString heldText =
            shown(*vm, undoFailureMessage(vm->workflows().context(),
                                          std::make_exception_ptr(OrvalinkError::sourceInUse(
                                              staged, {"tail"}, OrvalinkError::Operation::undo)),
                                          mapping));
        for (const QString& part : held + QStringList{staged, source})
            QVERIFY2(heldText.contains(part), qPrintable(heldText));
    }
};

QTEST_GUILESS_MAIN(UndoEndingsTest)
#include "tst_undoendings.moc"
