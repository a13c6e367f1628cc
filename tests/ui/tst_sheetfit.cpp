#include "AccountFixture.h"
#include "LayoutCheck.h"
#include "SheetTestSupport.h"
#include "UiTestSupport.h"
#include "support/TaskRunner.h"
#include "ui/views/account/AccountSheetView.h"
#include "ui/views/settings/SettingsSheetView.h"
#include "ui/widgets/CollapsibleSection.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/LayoutSettling.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QPushButton>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;
using ui::AccountSheetView;
using ui::CollapsibleSection;
using ui::SettingsSheetView;

namespace {

// The sheet at its least size, off screen and laid out; saves what it shows.
void showAtLeastSize(QWidget& sheet, const QString& screen)
{
    sheet.setAttribute(Qt::WA_DontShowOnScreen);
    sheet.resize(sheet.minimumSize());
    sheet.show();
    ui::settleLayouts(sheet);
    QVERIFY(!saveScreen(sheet.grab().toImage(), screen).isEmpty());
    QVERIFY(!saveSheetScreen(&sheet, screen + QStringLiteral("-whole"), sheet.minimumWidth()).isEmpty());
    ui::settleLayouts(sheet);
}

void addLanguageRows()
{
    QTest::addColumn<UILanguage>("language");
    QTest::addColumn<bool>("privacy");
    for (const FitSetting& setting : fitSettings())
        QTest::newRow(qPrintable(setting.tag)) << setting.language << setting.privacy;
}

// A report longer than the four lines its card shows.
const QString kLongReport = QStringLiteral(
    "The first line says where it happened.\nThe second line says what I did.\nThe third line says what I "
    "saw.\nThe fourth line says what I expected.\nThe fifth line must not show in the card at all.");

} // namespace

// The settings and account sheets at their least sizes, in each language with and without
// presentation privacy: nothing wider than its place, no horizontal scroll bar, no text cut.
class SheetFitTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        prepareWidgetTests();
        if (const auto missing = missingPinnedFonts())
            QSKIP(qPrintable(*missing));
    }

    // Also with Smart Migration on and every root the sheet shows inside a folder whose name has
    // 200 characters.
    void settingsSheetFits_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<bool>("privacy");
        QTest::addColumn<bool>("longFolder");
        for (const FitSetting& setting : fitSettings()) {
            QTest::newRow(qPrintable(setting.tag)) << setting.language << setting.privacy << false;
            QTest::newRow(qPrintable(QStringLiteral("long-") + setting.tag))
                << setting.language << setting.privacy << true;
        }
    }

    void settingsSheetFits()
    {
        QFETCH(UILanguage, language);
        QFETCH(bool, privacy);
        QFETCH(bool, longFolder);
        ViewModelFixture world;
        const QString folder =
            longFolder ? QStringLiteral("/") + QStringLiteral("Long name ").repeated(20) : QString();
        auto vm = world.makeViewModelWithSettings([&](AppConfig& config) {
            config.uiLanguage = language;
            config.presentationPrivacyEnabled = privacy;
            config.unifiedTargetManagementEnabled = true;
            config.smartMigrationEnabled = longFolder;
            config.managedTargetRoot = world.home.path(QStringLiteral("Volumes/External Disk") + folder +
                                                       QStringLiteral("/OrvalinkRoot"));
            if (longFolder) {
                config.defaultScanRoot = world.home.path(QStringLiteral("Projects") + folder);
                config.defaultTargetRoot = world.home.path(QStringLiteral("Backup") + folder);
            }
        });
        SettingsSheetView sheet(*vm);
        QCOMPARE(sheet.minimumSize(), QSize(720, 620));
        // Within what a 1366x768 laptop leaves for a window.
        QVERIFY(sheet.minimumSizeHint().height() <= 698 && sheet.minimumSizeHint().width() <= 1366);
        sheet.findChild<QPushButton*>(QStringLiteral("blockedPathsButton"))->click();
        sheet.flushRefresh();
        showAtLeastSize(sheet, QStringLiteral("fit-settings-") + QTest::currentDataTag());
        const QStringList faults = widthFaults(sheet);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

    void accountSheetFits_data() { addLanguageRows(); }

    void accountSheetFits()
    {
        QFETCH(UILanguage, language);
        QFETCH(bool, privacy);
        AccountFixture fixture;
        QVERIFY(fixture.isReady());
        fixture.start([&](AppConfig& config) {
            config.uiLanguage = language;
            config.presentationPrivacyEnabled = privacy;
        });
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        {
            AccountSheetView sheet(fixture.viewModel());
            // Within what a 1366x768 laptop leaves for a window.
            QVERIFY(sheet.minimumSize().height() <= 698 && sheet.minimumSizeHint().height() <= 698);
            sheet.setAppearHooksEnabled(false);
            sheet.findChild<CollapsibleSection*>(QStringLiteral("notesSection"))->setExpanded(true);
            sheet.flushRefresh();
            showAtLeastSize(sheet, QStringLiteral("fit-account-signed-out-") + tag);
            const QStringList faults = widthFaults(sheet);
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        }

        QVERIFY(fixture.signIn());
        MainViewModel& vm = fixture.viewModel();
        ViewModelInternals::context(vm).accountState().setBackendStatusMessage(
            BilingualText::same(QStringLiteral("Signed in. Your migration history on this computer was "
                                               "compared with the copy on the service "
                                               "and both are the same.")));
        runTask(vm.account().feedback().submitFeedback(FeedbackCategory::bug, QStringLiteral("Cut text"),
                                                       kLongReport));
        runTask(vm.account().feedback().refreshFeedbackDashboard(false));
        AccountSheetView sheet(vm);
        sheet.setAppearHooksEnabled(false);
        for (CollapsibleSection* section : sheet.findChildren<CollapsibleSection*>())
            section->setExpanded(true);
        sheet.flushRefresh();
        showAtLeastSize(sheet, QStringLiteral("fit-account-signed-in-") + tag);
        const QStringList faults = widthFaults(sheet);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));

        // The report starts at its top: four lines, the last ending in "…", the whole in the tip.
        auto* report = sheet.findChild<ui::ElidedLabel*>(QStringLiteral("feedbackItemContent"));
        QVERIFY(report);
        QCOMPARE(report->text(), kLongReport);
        const QStringList lines = report->shownText().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.first().startsWith(QStringLiteral("The first line")));
        QCOMPARE(lines.last(), QStringLiteral("The fourth line says what I expected.") + QChar(0x2026));
        QVERIFY(report->isElided());
        QVERIFY(report->toolTip().contains(QStringLiteral("The fifth line")));
    }
};

QTEST_MAIN(SheetFitTest)
#include "tst_sheetfit.moc"
