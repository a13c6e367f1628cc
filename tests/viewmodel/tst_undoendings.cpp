// What the window says when an undo cannot simply run or end: programs that use the migrated folder
// (a prompt that names them and offers to end them), and a history that cannot be written once the
// data is home (said with where the data is, in each language).
#include "WorkflowFixture.h"
#include "model/AppPaths.h"
#include "platform/EntryStatus.h"
#include "platform/SymbolicLinks.h"
#include "support/FailingFolder.h"
#include "support/HoldingProcess.h"
#include "support/SkipWithout.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

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
};

QTEST_GUILESS_MAIN(UndoEndingsTest)
#include "tst_undoendings.moc"
