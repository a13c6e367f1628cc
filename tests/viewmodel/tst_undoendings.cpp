// What the window says when an undo cannot simply run or end: programs that use the migrated folder
// (a prompt that names them and offers to end them), and a history that cannot be written once the
// data is home (said with where the data is, in each language).
#include "WorkflowFixture.h"
#include "diskops/UndoIncomplete.h"
#include "model/AppPaths.h"
#include "platform/EntryStatus.h"
#include "platform/SymbolicLinks.h"
#include "support/FailingFolder.h"
#include "support/HoldingProcess.h"
#include "support/SkipWithout.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/disk/UndoTriage.h"

#include <QFileInfo>
#include <QTest>

using namespace orvalink;
using test::errorLine;
using test::finish;
using test::infoLine;
using test::migrate;
using test::shown;
using test::WorkflowFixture;

Q_DECLARE_METATYPE(orvalink::UILanguage)

class UndoEndingsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A shell sits in the migrated folder: the undo asks, naming it, and changes nothing; the answer
    // "end them" ends it and undoes, and the success says whom it ended.
    void programsInTheFolderAreNamedAndEndedOnRequest()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString source = w.tree.file("Notes/a.txt", "a").section('/', 0, -2);
        w.tree.file("Notes/sub/b.txt", "b");
        MainViewModel& vm = w.vm();
        migrate(vm, {source});
        test::HoldingProcess::Options sitting;
        sitting.workingDirectory = source + "/sub";
        test::HoldingProcess holder(sitting);

        finish(vm.workflows().undoLastMigration());
        const std::optional<UndoConflictPrompt> prompt = vm.activity().undoConflictPrompt();
        QVERIFY(prompt);
        QCOMPARE(prompt->holders, QStringList{"sleep"});
        QCOMPARE(shown(vm, prompt->title), QStringLiteral("Programs Are Using This Folder"));
        const QString message = shown(vm, prompt->message);
        QVERIFY2(message.startsWith("These programs are using files in ") && message.contains(": sleep."),
                 qPrintable(message));
        QCOMPARE(infoLine(vm),
                 std::optional<QString>("Close the programs using this folder before the undo: sleep."));
        QCOMPARE(errorLine(vm), std::nullopt);
        QCOMPARE(platform::readSymbolicLink(source), std::optional(w.targetOf(source)));
        QCOMPARE(vm.history().undoHistory().size(), 1);

        ViewModelInternals::context(vm).activity().setUndoConflictPrompt(std::nullopt);
        finish(vm.workflows().undoEndingHolders(prompt->mapping));
        QVERIFY2(infoLine(vm)->startsWith("Undo completed: Notes (") &&
                     infoLine(vm)->endsWith(" Programs ended: sleep."),
                 qPrintable(*infoLine(vm)));
        QTRY_COMPARE(holder.process().state(), QProcess::NotRunning);
        QVERIFY(platform::isRealDirectory(source));
        QVERIFY(vm.history().undoHistory().isEmpty());
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
    // files themselves, so it stays a few lines long in every language.
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
        QStringList written;
        for (int i = 0; i < 2540; ++i)
            written.append(mapping.targetPath +
                           QStringLiteral("/cache/frame-%1.tmp").arg(i, 5, 10, QChar('0')));
        const UndoIncomplete incomplete(UndoIncomplete::Kind::leftBehind, mapping, mapping.targetPath, {},
                                        written);

        const QString message = shown(
            *vm, undoFailureMessage(vm->workflows().context(), std::make_exception_ptr(incomplete), mapping));
        QFETCH(QString, counted);
        QFETCH(QString, logged);
        QVERIFY2(message.contains(counted), qPrintable(message));
        QVERIFY2(message.contains(logged + AppPaths::logsFile()), qPrintable(message));
        QVERIFY(message.contains(mapping.targetPath));
        QVERIFY2(!message.contains("frame-"), qPrintable(message.left(400)));
        QVERIFY2(message.size() < 1000, qPrintable(QString::number(message.size())));
    }
};

QTEST_GUILESS_MAIN(UndoEndingsTest)
#include "tst_undoendings.moc"
