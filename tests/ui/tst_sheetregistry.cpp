#include "ViewModelFixture.h"
#include "WindowTestSupport.h"
#include "ui/shell/SheetHost.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/SheetRegistry.h"
#include "ui/views/dashboard/MainDashboardView.h"
#include "ui/widgets/SelectablePathField.h"
#include "viewmodel/settings/SettingsActions.h"
#include "viewmodel/texts/Presentation.h"

#include <QDialog>
#include <QPushButton>
#include <QSet>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;
using ui::QuickSheet;

Q_DECLARE_METATYPE(orvalink::UILanguage)
Q_DECLARE_METATYPE(orvalink::ui::QuickSheet)

namespace {

QString dialogTitle(WindowUnderTest& w)
{
    QDialog* dialog = w.window->sheets().dialog();
    return dialog ? dialog->windowTitle() : QString();
}

} // namespace

class SheetRegistryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every kind has its own entry: titles and button texts in both languages, a name automation
    // finds it by, a button of its own in the quick-access bar.
    void everyKindHasACompleteEntry()
    {
        QSet<QString> rawNames;
        QSet<QString> buttonNames;
        for (int i = 0; i < int(QuickSheet::count); ++i) {
            const QuickSheet kind = QuickSheet(i);
            const ui::SheetEntry& entry = ui::sheetEntry(kind);
            QCOMPARE(entry.kind, kind);
            for (UILanguage language : {UILanguage::chinese, UILanguage::english}) {
                QVERIFY(!entry.title.in(language).trimmed().isEmpty());
                QVERIFY(!entry.button.face.label.in(language).trimmed().isEmpty());
            }
            QVERIFY(entry.build);
            QCOMPARE(ui::quickSheetFromRawValue(ui::rawValue(kind)), std::optional(kind));
            rawNames.insert(ui::rawValue(kind));
            buttonNames.insert(entry.button.objectName.toString());
        }
        QCOMPARE(ui::sheetRegistry().size(), std::size_t(QuickSheet::count));
        QCOMPARE(rawNames.size(), int(QuickSheet::count));
        QCOMPARE(buttonNames.size(), int(QuickSheet::count));
    }

    // The host titles the dialog of each kind from the registry in the language in force, opened
    // from the kind's button in the quick-access bar, and relabels it when the language changes
    // while it is open.
    void dialogTitleFollowsTheRegistry_data()
    {
        QTest::addColumn<QuickSheet>("kind");
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("title");
        QTest::addColumn<UILanguage>("switchedTo");
        QTest::addColumn<QString>("switchedTitle");
        const QString account = QStringLiteral("账户中心");
        QTest::newRow("account zh") << QuickSheet::account << UILanguage::chinese << account
                                    << UILanguage::english << "Account Center";
        QTest::newRow("account en") << QuickSheet::account << UILanguage::english << "Account Center"
                                    << UILanguage::bilingual << account + " Account Center";
        QTest::newRow("account both") << QuickSheet::account << UILanguage::bilingual
                                      << account + " Account Center" << UILanguage::chinese << account;
        QTest::newRow("feedback zh") << QuickSheet::feedback << UILanguage::chinese << account
                                     << UILanguage::bilingual << account + " Account Center";
        QTest::newRow("feedback en") << QuickSheet::feedback << UILanguage::english << "Account Center"
                                     << UILanguage::chinese << account;
        QTest::newRow("feedback both")
            << QuickSheet::feedback << UILanguage::bilingual << account + " Account Center"
            << UILanguage::english << "Account Center";
        const QString settings = QStringLiteral("设置");
        QTest::newRow("settings zh") << QuickSheet::settings << UILanguage::chinese << settings
                                     << UILanguage::english << "Settings";
        QTest::newRow("settings en") << QuickSheet::settings << UILanguage::english << "Settings"
                                     << UILanguage::bilingual << settings + " Settings";
        QTest::newRow("settings both") << QuickSheet::settings << UILanguage::bilingual
                                       << settings + " Settings" << UILanguage::chinese << settings;
    }

    void dialogTitleFollowsTheRegistry()
    {
        QFETCH(QuickSheet, kind);
        QFETCH(UILanguage, language);
        QFETCH(QString, title);
        QFETCH(UILanguage, switchedTo);
        QFETCH(QString, switchedTitle);
        ViewModelFixture fx;
        auto vm =
            fx.makeViewModelWithSettings([language](AppConfig& config) { config.uiLanguage = language; });
        WindowUnderTest w(*vm, withoutStartup());
        QVERIFY(w.showAndStart());
        const ui::SheetEntry& entry = ui::sheetEntry(kind);
        auto* button = w.window->findChild<QPushButton*>(entry.button.objectName.toString());
        QVERIFY(button);
        button->click();
        QCOMPARE(w.viewState().activeSheet(), std::optional(kind));
        QCOMPARE(w.window->sheets().shownSheet(), std::optional(kind));
        QCOMPARE(dialogTitle(w), title);
        QCOMPARE(dialogTitle(w), vm->presentation().localized(entry.title));

        vm->settings().setLanguage(switchedTo);
        QCOMPARE(dialogTitle(w), switchedTitle);
    }

    // With privacy on, the folders it hides can change without any setting changing (a new list
    // of volumes, the guide's demo folders): the open settings sheet shows its paths masked anew.
    void openSheetFollowsTheHiddenFolders()
    {
        ViewModelFixture fx;
        const QString home = fx.home.home();
        const QString target = home + QStringLiteral("/Target");
        auto vm = fx.makeViewModelWithSettings([&](AppConfig& config) {
            config.presentationPrivacyEnabled = true;
            config.unifiedTargetManagementEnabled = true;
            config.managedTargetRoot = target;
        });
        const QString volumes = fx.home.volumes();
        vm->presentation().setLocationsLookup([&] { return PrivacyLocations::of(home, volumes); });
        WindowUnderTest w(*vm, withoutStartup(QuickSheet::settings));
        QVERIFY(w.showAndStart());
        QDialog* dialog = w.window->sheets().dialog();
        QVERIFY(dialog);
        auto* active = dialog->findChild<ui::SelectablePathField*>(QStringLiteral("activeTargetValue"));
        QVERIFY(active);
        ui::RefreshScheduler::flushAll(dialog);
        QCOMPARE(active->shownText(), QStringLiteral("~/Target"));

        // The home folder is now another one: the target is no longer inside it.
        const QString otherHome = fx.home.root() + QStringLiteral("/elsewhere/someone");
        vm->presentation().setLocationsLookup([&] { return PrivacyLocations::of(otherHome, volumes); });
        ui::RefreshScheduler::flushAll(dialog);
        // The whole text: how much of it is drawn depends on how long the checkout's path is.
        QVERIFY(active->text() != QStringLiteral("~/Target"));
        QCOMPARE(active->text(), vm->presentation().displayPath(target));
    }
};

QTEST_MAIN(SheetRegistryTest)
#include "tst_sheetregistry.moc"
