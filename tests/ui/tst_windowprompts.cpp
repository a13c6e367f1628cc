#include "UiTestSupport.h"
#include "ViewModelFixture.h"
#include "WindowTestSupport.h"
#include "WorkflowFixture.h"
#include "platform/SymbolicLinks.h"
#include "support/HoldingProcess.h"
#include "support/SkipWithout.h"
#include "ui/shell/PromptPresenter.h"
#include "ui/shell/SheetHost.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/flow/DetachedFlow.h"

#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;
using ui::PromptPresenter;
using ui::QuickSheet;

namespace {

const QString kRestoreTitle = QStringLiteral("Choose a Force Restore Mode");
const QString kMigrateTitle = QStringLiteral("Choose a Force Migration Mode");
const QString kAdminTitle = QStringLiteral("Administrator Access Required");

UndoConflictPrompt undoPrompt()
{
    LinkMapping mapping;
    mapping.id = QUuid::createUuid();
    mapping.sourcePath = QStringLiteral("/home/user/Alpha");
    mapping.targetPath = QStringLiteral("/Volumes/External/home/user/Alpha");
    return {QUuid::createUuid(), mapping, BilingualText::same(kRestoreTitle),
            BilingualText::same(QStringLiteral("The original path is occupied again."))};
}

MigrationConflictPrompt migrationPrompt(const QString& path)
{
    return {QUuid::createUuid(), failedRecord(path), BilingualText::same(kMigrateTitle),
            BilingualText::same(QStringLiteral("The target already contains a file or folder."))};
}

AccessRequirementPrompt accessPrompt(AccessRequirementPrompt::Kind kind)
{
    const bool signIn = kind == AccessRequirementPrompt::Kind::requiresSignIn;
    return {QUuid::createUuid(), kind,
            BilingualText::same(signIn ? QStringLiteral("Sign In Required") : kAdminTitle),
            BilingualText::same(signIn ? QStringLiteral("Session expired. Please sign in again.")
                                       : QStringLiteral("This path needs administrator rights."))};
}

// Publishes a prompt of `kind` ("error", "undo", "migration", "signIn" or "admin"), with its own
// message or `message`.
void publishPrompt(ActivityState& activity, const QString& kind, const QString& path,
                   const std::optional<QString>& message = std::nullopt)
{
    if (kind == "error") {
        activity.setErrorMessage(BilingualText::same(message.value_or(QStringLiteral("Disk full"))));
    } else if (kind == "undo") {
        UndoConflictPrompt prompt = undoPrompt();
        if (message)
            prompt.message = BilingualText::same(*message);
        activity.setUndoConflictPrompt(prompt);
    } else if (kind == "migration") {
        MigrationConflictPrompt prompt = migrationPrompt(path);
        if (message)
            prompt.message = BilingualText::same(*message);
        activity.setMigrationConflictPrompt(prompt);
    } else {
        AccessRequirementPrompt prompt = accessPrompt(
            kind == "signIn" ? AccessRequirementPrompt::Kind::requiresSignIn
                             : AccessRequirementPrompt::Kind::requiresAdministratorAuthorization);
        if (message)
            prompt.message = BilingualText::same(*message);
        activity.setAccessRequirementPrompt(prompt);
    }
}

QStringList buttonTexts(const ui::PromptRequest& request)
{
    QStringList texts;
    for (const ui::PromptButton& button : request.buttons)
        texts.append(button.text);
    return texts;
}

} // namespace

class WindowPromptsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareWidgetTests(); }

    // All four published at once: shown one at a time in their order, each answer clearing its value.
    void promptsShowInOrder()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup());
        QVERIFY(w.showAndStart());
        ActivityState& activity = ViewModelInternals::context(*vm).activity();
        activity.setErrorMessage(BilingualText::same(QStringLiteral("Disk full")));
        activity.setAccessRequirementPrompt(
            accessPrompt(AccessRequirementPrompt::Kind::requiresAdministratorAuthorization));
        activity.setMigrationConflictPrompt(migrationPrompt(fx.tree.path("Beta")));
        activity.setUndoConflictPrompt(undoPrompt());
        QTRY_COMPARE(w.surface->openTitle(), kRestoreTitle);
        QCOMPARE(buttonTexts(*w.surface->open()),
                 (QStringList{"Append Restore (Recommended)", "Overwrite Restore", "Cancel"}));
        QCOMPARE(w.surface->open()->message, QStringLiteral("The original path is occupied again."));

        QVERIFY(w.surface->answer(QStringLiteral("Cancel")));
        QVERIFY(!activity.undoConflictPrompt());
        QTRY_COMPARE(w.surface->openTitle(), kMigrateTitle);
        QCOMPARE(buttonTexts(*w.surface->open()),
                 (QStringList{"Append Migrate (Recommended)", "Overwrite Migrate", "Cancel"}));
        QVERIFY(w.surface->answer(QStringLiteral("Cancel")));
        QTRY_COMPARE(w.surface->openTitle(), kAdminTitle);
        QCOMPARE(buttonTexts(*w.surface->open()), (QStringList{"Get Permission", "Later"}));
        QVERIFY(w.surface->answer(QStringLiteral("Later")));
        QVERIFY(!activity.accessRequirementPrompt());
        QTRY_COMPARE(w.surface->openTitle(), QStringLiteral("Error"));
        QCOMPARE(w.surface->open()->message, QStringLiteral("Disk full"));
        QCOMPARE(buttonTexts(*w.surface->open()), QStringList{"OK"});
        QVERIFY(w.surface->answer(QStringLiteral("OK")));
        QVERIFY(!activity.errorMessage());
        QCoreApplication::processEvents();
        QVERIFY(!w.surface->isOpen());
        QCOMPARE(w.surface->shown().size(), 4);
        // A new error later is shown again.
        activity.setErrorMessage(BilingualText::same(QStringLiteral("Another")));
        QTRY_COMPARE(w.surface->openTitle(), QStringLiteral("Error"));
    }

    // An error that arrives while a conflict choice is on show waits until it is answered; an error
    // on show gives way to a conflict published later (it stays published).
    void errorWaitsBehindConflict_data()
    {
        QTest::addColumn<bool>("undo");
        QTest::addColumn<bool>("errorFirst");
        QTest::newRow("restore choice, error after") << true << false;
        QTest::newRow("migration choice, error after") << false << false;
        QTest::newRow("error on show, restore choice after") << true << true;
    }

    void errorWaitsBehindConflict()
    {
        QFETCH(bool, undo);
        QFETCH(bool, errorFirst);
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup());
        QVERIFY(w.showAndStart());
        ActivityState& activity = ViewModelInternals::context(*vm).activity();
        const auto publishConflict = [&] {
            if (undo)
                activity.setUndoConflictPrompt(undoPrompt());
            else
                activity.setMigrationConflictPrompt(migrationPrompt(fx.tree.path("Beta")));
        };
        if (errorFirst) {
            activity.setErrorMessage(BilingualText::same(QStringLiteral("Disk full")));
            QTRY_COMPARE(w.surface->openTitle(), QStringLiteral("Error"));
            publishConflict();
            QTRY_COMPARE(w.surface->withdrawn(), 1);
        } else {
            publishConflict();
            QTRY_VERIFY(w.surface->isOpen());
            activity.setErrorMessage(BilingualText::same(QStringLiteral("Disk full")));
        }
        const QString title = undo ? kRestoreTitle : kMigrateTitle;
        QTRY_COMPARE(w.surface->openTitle(), title);
        QCoreApplication::processEvents();
        QCOMPARE(w.surface->openTitle(), title);
        QCOMPARE(w.window->prompts().current(),
                 undo ? PromptPresenter::Kind::undoConflict : PromptPresenter::Kind::migrationConflict);
        QVERIFY(w.surface->answer(std::nullopt));
        QVERIFY(!activity.undoConflictPrompt() && !activity.migrationConflictPrompt());
        QTRY_COMPARE(w.surface->openTitle(), QStringLiteral("Error"));
        QCOMPARE(activity.errorMessage(), std::optional(BilingualText::same(QStringLiteral("Disk full"))));
    }

    // An error that arrives while a sheet is open waits until the sheet closes; the account sheet
    // tells it in its status line, and closing that one leaves no alert of it behind.
    void errorWaitsBehindSheet()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup(QuickSheet::settings));
        QVERIFY(w.showAndStart());
        QDialog* sheet = w.window->sheets().dialog();
        QVERIFY(sheet);
        ViewModelInternals::context(*vm).activity().setErrorMessage(
            BilingualText::same(QStringLiteral("Disk full")));
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QVERIFY(!w.surface->isOpen());
        sheet->reject();
        QTRY_COMPARE(w.surface->openTitle(), QStringLiteral("Error"));
        QVERIFY(w.surface->answer(QStringLiteral("OK")));
        QVERIFY(!errorLine(*vm));

        w.viewState().setActiveSheet(QuickSheet::account);
        QTRY_VERIFY((sheet = w.window->sheets().dialog()));
        ViewModelInternals::context(*vm).activity().setErrorMessage(
            BilingualText::same(QStringLiteral("Timeout")));
        QTRY_COMPARE(sheet->findChild<QLabel*>(QStringLiteral("statusText"))->text(),
                     QStringLiteral("Timeout"));
        sheet->reject();
        QTRY_VERIFY(!w.viewState().activeSheet() && !errorLine(*vm));
        QCoreApplication::processEvents();
        QCOMPARE(w.surface->shown().size(), 1);
    }

    // A question made while privacy was off waits behind the settings sheet, where privacy is
    // switched on: it shows masked.
    void aQuestionIsMaskedAsPrivacyStandsWhenShown_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("restore choice") << "undo";
        QTest::newRow("migration choice") << "migration";
        QTest::newRow("administrator") << "admin";
    }
    void aQuestionIsMaskedAsPrivacyStandsWhenShown()
    {
        QFETCH(QString, kind);
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup(QuickSheet::settings));
        QVERIFY(w.showAndStart());
        QDialog* sheet = w.window->sheets().dialog();
        QVERIFY(sheet);
        const QString home = fx.home.home();
        const QString message =
            "Occupied: " + home + "/Alpha, preserved at /mnt/backup/Store" + home + "/Alpha";
        publishPrompt(ViewModelInternals::context(*vm).activity(), kind, home + "/Alpha", message);
        QCoreApplication::processEvents();
        QVERIFY(!w.surface->isOpen());
        vm->settings().setPresentationPrivacyEnabled(true);
        sheet->reject();
        QTRY_VERIFY(w.surface->isOpen());
        const QString shown = w.surface->open()->message;
        QVERIFY2(!shown.contains(home), qPrintable(shown));
        QVERIFY2(shown.startsWith("Occupied: ~/Alpha, preserved at /mnt/backup/Store/"), qPrintable(shown));
        QVERIFY2(shown.endsWith("/demo/Alpha"), qPrintable(shown));
    }

    // Esc or closing a prompt clears its value and starts nothing.
    void dismissalClears_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("error") << "error";
        QTest::newRow("restore choice") << "undo";
        QTest::newRow("migration choice") << "migration";
        QTest::newRow("sign-in") << "signIn";
        QTest::newRow("administrator") << "admin";
    }

    void dismissalClears()
    {
        QFETCH(QString, kind);
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup());
        QVERIFY(w.showAndStart());
        ActivityState& activity = ViewModelInternals::context(*vm).activity();
        publishPrompt(activity, kind, fx.tree.path("Beta"));
        QTRY_VERIFY(w.surface->isOpen());
        QVERIFY(w.surface->answer(std::nullopt));
        QVERIFY(!activity.errorMessage() && !activity.undoConflictPrompt() &&
                !activity.migrationConflictPrompt() && !activity.accessRequirementPrompt());
        QCoreApplication::processEvents();
        QVERIFY(!w.surface->isOpen());
        QVERIFY(!w.viewState().activeSheet());
        QVERIFY(!activity.isMigrating() && !activity.isUndoing() &&
                !activity.isRequestingAdminAuthorization());
    }

    // A prompt whose value the state object clears while it is on show goes away unanswered.
    void clearedValueWithdrawsPrompt()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup());
        QVERIFY(w.showAndStart());
        ViewModelInternals::context(*vm).activity().setAccessRequirementPrompt(
            accessPrompt(AccessRequirementPrompt::Kind::requiresSignIn));
        QTRY_VERIFY(w.surface->isOpen());
        ViewModelInternals::context(*vm).activity().setAccessRequirementPrompt(std::nullopt);
        QTRY_VERIFY(!w.surface->isOpen());
        QCOMPARE(w.surface->withdrawn(), 1);
        QCOMPARE(w.window->prompts().current(), PromptPresenter::Kind::none);
    }

    // "Open Account" opens the account sheet without an initial focus and leaves no prompt behind.
    void openAccountOpensSheet()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup());
        QVERIFY(w.showAndStart());
        ViewModelInternals::context(*vm).activity().setAccessRequirementPrompt(
            accessPrompt(AccessRequirementPrompt::Kind::requiresSignIn));
        QTRY_COMPARE(w.surface->openTitle(), QStringLiteral("Sign In Required"));
        QCOMPARE(buttonTexts(*w.surface->open()), (QStringList{"Open Account", "Later"}));
        QVERIFY(w.surface->answer(QStringLiteral("Open Account")));
        QVERIFY(!vm->activity().accessRequirementPrompt());
        QCOMPARE(w.viewState().activeSheet(), std::optional(QuickSheet::account));
        QCOMPARE(w.window->sheets().shownSheet(), std::optional(QuickSheet::account));
        QVERIFY(w.window->sheets().dialog()->isVisible());
    }

    // The window's own message boxes: the texts and roles as given, Esc clears the value, the
    // default button answers; the picture is saved for a look in each language and with privacy.
    void messageBoxes_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<bool>("privacy");
        QTest::addColumn<QString>("title");
        QTest::newRow("english") << UILanguage::english << false << "Error";
        QTest::newRow("chinese") << UILanguage::chinese << false << "错误";
        QTest::newRow("bilingual") << UILanguage::bilingual << false << "错误 Error";
        QTest::newRow("privacy") << UILanguage::english << true << "Error";
    }

    void messageBoxes()
    {
        QFETCH(UILanguage, language);
        QFETCH(bool, privacy);
        QFETCH(QString, title);
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings([&](AppConfig& config) {
            config.uiLanguage = language;
            config.presentationPrivacyEnabled = privacy;
        });
        ui::MainWindow window(*vm, withoutStartup());
        window.setAttribute(Qt::WA_DontShowOnScreen);
        window.resize(1200, 760);
        window.show();
        QTRY_VERIFY(window.dashboard().hasFinishedStartup());
        const QString folder = fx.home.home() + QStringLiteral("/Movies/<b>Holiday</b>");
        ViewModelInternals::context(*vm).activity().setErrorMessage(
            BilingualText::same(QStringLiteral("Could not read ") + folder));
        QMessageBox* box = nullptr;
        QTRY_VERIFY((box = window.findChild<QMessageBox*>(QStringLiteral("promptBox"))) && box->isVisible());
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QCOMPARE(box->windowTitle(), title);
        auto* message = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
        QVERIFY(message);
        // Shown as text, never as markup; the home folder is masked while privacy is on.
        QCOMPARE(message->textFormat(), Qt::PlainText);
        QCOMPARE(message->text().contains(fx.home.home()), !privacy);
        QVERIFY(message->text().endsWith(QStringLiteral("/Movies/<b>Holiday</b>")));
        QVERIFY(!saveScreen(box->grab().toImage(), QStringLiteral("prompt-error-") + QTest::currentDataTag())
                     .isEmpty());
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(!errorLine(*vm));

        // The force-restore choice: three buttons; the default one answers.
        ViewModelInternals::context(*vm).activity().setUndoConflictPrompt(undoPrompt());
        QTRY_VERIFY((box = window.findChild<QMessageBox*>(QStringLiteral("promptBox"))) && box->isVisible());
        QCOMPARE(box->buttons().size(), 3);
        QVERIFY(box->defaultButton());
        QCOMPARE(box->buttonRole(box->defaultButton()), QMessageBox::AcceptRole);
        QVERIFY(
            !saveScreen(box->grab().toImage(), QStringLiteral("prompt-restore-") + QTest::currentDataTag())
                 .isEmpty());
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(!vm->activity().undoConflictPrompt());
        QVERIFY(!vm->activity().isUndoing());

        // Programs in the migrated folder: ending them is never the default.
        UndoConflictPrompt holders = undoPrompt();
        holders.title = BilingualText("程序正在使用此目录", "Programs Are Using This Folder");
        holders.message = BilingualText(
            QStringLiteral("这些程序正在使用 ") + folder + QStringLiteral(" 里的文件：python3。"),
            QStringLiteral("These programs are using files in ") + folder + QStringLiteral(": python3."));
        holders.holders = {QStringLiteral("python3")};
        ViewModelInternals::context(*vm).activity().setUndoConflictPrompt(holders);
        QTRY_VERIFY((box = window.findChild<QMessageBox*>(QStringLiteral("promptBox"))) && box->isVisible());
        QCOMPARE(box->buttons().size(), 2);
        QVERIFY(box->defaultButton());
        QCOMPARE(box->buttonRole(box->defaultButton()), QMessageBox::RejectRole);
        QVERIFY(
            !saveScreen(box->grab().toImage(), QStringLiteral("prompt-holders-") + QTest::currentDataTag())
                 .isEmpty());
        QTest::keyClick(box, Qt::Key_Return);
        QTRY_VERIFY(!vm->activity().undoConflictPrompt());
        QVERIFY(!vm->activity().isUndoing());
    }

    // The texts follow the language; bilingual joins both with one space.
    void bilingualTexts()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings(
            [](AppConfig& config) { config.uiLanguage = UILanguage::bilingual; });
        WindowUnderTest w(*vm, withoutStartup());
        QVERIFY(w.showAndStart());
        ViewModelInternals::context(*vm).activity().setErrorMessage(
            BilingualText::same(QStringLiteral("Disk full")));
        QTRY_VERIFY(w.surface->isOpen());
        QCOMPARE(w.surface->openTitle(), QStringLiteral("错误 Error"));
        QCOMPARE(buttonTexts(*w.surface->open()), QStringList{QStringLiteral("确定 OK")});
    }

    // A migration that fails on an occupied target: the failed record keeps the workspace open; the
    // force-migration choice, answered, clears the prompt first and then runs the forced retry, whose
    // success is timed out of the workspace. Cancel starts nothing.
    void migrationChoiceRetries_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("atTarget");
        QTest::newRow("append") << "Append Migrate (Recommended)" << QStringList{"a.txt", "old.txt"};
        QTest::newRow("overwrite") << "Overwrite Migrate" << QStringList{"a.txt"};
        QTest::newRow("cancel") << "Cancel" << QStringList{"old.txt"};
    }

    void migrationChoiceRetries()
    {
        QFETCH(QString, answer);
        QFETCH(QStringList, atTarget);
        WorkflowFixture wf;
        SKIP_WITHOUT(wf);
        const QString alpha = wf.tree.file("Alpha/a.txt", "new").section('/', 0, -2);
        TestTree(wf.targetOf(alpha)).file("old.txt", "old");
        MainViewModel& vm = wf.vm();
        WindowUnderTest w(vm, withoutStartup(), std::chrono::milliseconds(200));
        QVERIFY(w.showAndStart());
        ViewModelInternals::context(vm).browsing().setSelectedPaths({alpha});
        finish(vm.workflows().migrateSelectedItems());
        QCOMPARE(vm.history().recentFailedMigrations().size(), 1);
        QVERIFY(w.viewState().showProgressPanel());
        QVERIFY(!w.dashboard().isActivityAutoCollapsePending());

        w.surface->script(answer);
        vm.workflows().presentMigrationConflictPrompt(vm.history().recentFailedMigrations().first());
        QTRY_COMPARE(w.surface->shownTitles().count(kMigrateTitle), 1);
        QTRY_VERIFY(!vm.activity().migrationConflictPrompt());
        const QString target = wf.targetOf(alpha);
        if (answer == "Cancel") {
            QCoreApplication::processEvents();
            QVERIFY(!vm.activity().isMigrating());
            QCOMPARE(vm.history().recentFailedMigrations().size(), 1);
            QVERIFY(!platform::readSymbolicLink(alpha));
            QVERIFY(w.viewState().showProgressPanel());
        } else {
            QTRY_COMPARE(vm.history().recentMigrations().size(), 1);
            QTRY_VERIFY(!vm.activity().isMigrating());
            QVERIFY(vm.history().recentFailedMigrations().isEmpty());
            QCOMPARE(platform::readSymbolicLink(alpha), std::optional<QString>(target));
            QTRY_VERIFY(!w.viewState().showProgressPanel());
        }
        QCOMPARE(QDir(target).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name), atTarget);
    }

    // A program sits in the migrated folder: the undo's prompt names it and offers to end it; the
    // answer ends it and undoes, Cancel leaves both as they are.
    void holdersChoiceUndoes_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("end them") << "End Programs and Undo";
        QTest::newRow("cancel") << "Cancel";
    }

    void holdersChoiceUndoes()
    {
        QFETCH(QString, answer);
        WorkflowFixture wf;
        SKIP_WITHOUT(wf);
        const QString alpha = wf.tree.file("Alpha/sub/a.txt", "a").section('/', 0, -3);
        MainViewModel& vm = wf.vm();
        WindowUnderTest w(vm, withoutStartup(), std::chrono::milliseconds(200));
        QVERIFY(w.showAndStart());
        ViewModelInternals::context(vm).browsing().setSelectedPaths({alpha});
        finish(vm.workflows().migrateSelectedItems());
        HoldingProcess::Options sitting;
        sitting.workingDirectory = alpha + "/sub";
        HoldingProcess holder(sitting);

        w.surface->script(answer);
        finish(vm.workflows().undoLastMigration());
        QTRY_COMPARE(w.surface->shownTitles().count(QStringLiteral("Programs Are Using This Folder")), 1);
        QTRY_VERIFY(!vm.activity().undoConflictPrompt());
        if (answer == "Cancel") {
            QCoreApplication::processEvents();
            QCOMPARE(platform::readSymbolicLink(alpha), std::optional<QString>(wf.targetOf(alpha)));
            QCOMPARE(holder.process().state(), QProcess::Running);
            QCOMPARE(vm.history().undoHistory().size(), 1);
            return;
        }
        QTRY_VERIFY(vm.history().undoHistory().isEmpty());
        QTRY_COMPARE(holder.process().state(), QProcess::NotRunning);
        QVERIFY(QFileInfo(alpha).isDir() && !QFileInfo(alpha).isSymLink());
    }

    // The source was taken again, and once the mode is chosen a program opens the migrated folder:
    // each question shows once, its answer goes back to the undo that asked, and the dock counts
    // nothing failed while a question is on show. The restore merges, as chosen first, and ends the
    // program, as chosen after.
    void answersGoBackToTheRunThatAsked()
    {
        WorkflowFixture wf;
        SKIP_WITHOUT(wf);
        const QString alpha = migrateThenOccupy(wf);
        MainViewModel& vm = wf.vm();
        WindowUnderTest w(vm, withoutStartup(), std::chrono::milliseconds(200));
        QVERIFY(w.showAndStart());
        w.viewState().setShowProgressPanel(true);
        QWidget* window = w.window.get();
        const auto dockSays = [window] {
            settleWindow(*window);
            return window->findChild<QLabel*>(QStringLiteral("progressStatus"))->text() +
                   QStringLiteral(" | ") +
                   window->findChild<QLabel*>(QStringLiteral("progressPercent"))->text();
        };

        startDetached(vm.workflows().undoLastMigration());
        QTRY_COMPARE(w.surface->openTitle(), kRestoreTitle);
        QCOMPARE(dockSays(), QStringLiteral("Success 0 · Failed 0 | 0%"));
        HoldingProcess::Options sitting;
        sitting.workingDirectory = wf.targetOf(alpha);
        HoldingProcess holder(sitting);
        QVERIFY(w.surface->answer(QStringLiteral("Append Restore (Recommended)")));

        QTRY_COMPARE(w.surface->openTitle(), QStringLiteral("Programs Are Using This Folder"));
        QCOMPARE(dockSays(), QStringLiteral("Success 0 · Failed 0 | 0%"));
        QVERIFY(vm.activity().isUndoing());
        saveScreen(window->grab().toImage(), QStringLiteral("undo-asks-about-programs"));
        QVERIFY(w.surface->answer(QStringLiteral("End Programs and Undo")));

        QTRY_VERIFY_WITH_TIMEOUT(
            !vm.activity().isUndoing() && infoLine(vm).value_or(QString()).startsWith("Append"), 60000);
        QVERIFY2(infoLine(vm)->startsWith(QStringLiteral("Append restore completed for Alpha.")) &&
                     infoLine(vm)->endsWith(QStringLiteral(" Programs ended: sleep.")),
                 qPrintable(*infoLine(vm)));
        QCOMPARE(w.surface->shownTitles(),
                 (QStringList{kRestoreTitle, QStringLiteral("Programs Are Using This Folder")}));
        QCOMPARE(QDir(alpha).entryList(QDir::Files, QDir::Name), (QStringList{"a.txt", "new.txt"}));
        QVERIFY(vm.history().undoHistory().isEmpty());
        QCOMPARE(dockSays(), QStringLiteral("Success 1 · Failed 0 | 100%"));
        QTRY_COMPARE(holder.process().state(), QProcess::NotRunning);
    }
};

QTEST_MAIN(WindowPromptsTest)
#include "tst_windowprompts.moc"
