// Whole flows through the sidebar column over a real state object: a migration of two folders to
// a second file system through the Migrate button, the account badge after a sign-in against the
// loopback service, presentation privacy, and screenshots in each language.
#include "AccountFixture.h"
#include "SidebarHarness.h"
#include "UiTestSupport.h"
#include "WorkflowFixture.h"
#include "platform/UserLocations.h"
#include "support/SkipWithout.h"
#include "ui/models/DirectoryListModel.h"
#include "ui/views/sidebar/DirectoryListView.h"
#include "ui/views/sidebar/DirectoryRowLayout.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/PlainToolTip.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/flow/DetachedFlow.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

namespace {

void clickRowPart(SidebarHarness& ui, int row, QRect ui::DirectoryRowLayout::*part)
{
    ui::DirectoryListView* list = ui.sidebar->listView();
    const QModelIndex index = ui.sidebar->listModel()->index(row);
    const ui::DirectoryRowLayout layout =
        ui::DirectoryRowLayout::compute(list->visualRect(index), index, list->font());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, (layout.*part).center());
    ui.settle();
}

bool shown(SidebarHarness& ui, const char* name)
{
    return ui.find<QWidget>(name)->isVisibleTo(ui.window.get());
}

} // namespace

class SidebarFlowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareWidgetTests(); }

    // A fresh installation (no settings file): unified management is on, yet the built-in target
    // does not lock the choice; the first folder the user picks does.
    void aFreshInstallationChoosesItsFirstTarget()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModel();
        SidebarHarness ui(*vm);
        ui.settle();
        QVERIFY(vm->browsing().config().unifiedTargetManagementEnabled);
        QVERIFY(ui.find<QPushButton>("selectTargetButton")->isEnabled());
        QVERIFY(ui.find<QPushButton>("quickSelectVolumeButton")->isEnabled());
        QVERIFY(!shown(ui, "unifiedTargetLockNote"));

        const QString chosen = fx.home.volumes() + "/Backup/Store";
        fx.chooser->answer = chosen;
        QTest::mouseClick(ui.find<QPushButton>("selectTargetButton"), Qt::LeftButton);
        QTRY_COMPARE(vm->settings().effectiveTargetRoot(), chosen);
        ui.settle();
        QCOMPARE(
            infoLine(*vm).value_or(QString()),
            QStringLiteral("已记录首次目标位置，后续将统一使用。 First target location saved for unified "
                           "management."));
        QCOMPARE(vm->browsing().config().managedTargetRoot, std::optional<QString>(chosen));
        QVERIFY(!ui.find<QPushButton>("selectTargetButton")->isEnabled());
        QVERIFY(!ui.find<QPushButton>("quickSelectVolumeButton")->isEnabled());
        QVERIFY(shown(ui, "unifiedTargetLockNote"));
    }

    // Tick two folders, press Migrate: both end up on the volume with a link at the old place.
    void migrateTwoFoldersThroughTheButton()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString movies = w.tree.fileOfSize("Movies/film.bin", 96 * 1024).section('/', 0, -2);
        const QString music = w.tree.fileOfSize("Music/song.bin", 48 * 1024).section('/', 0, -2);
        w.tree.fileOfSize("Stay/keep.bin", 1024);
        MainViewModel& vm = w.vm();
        vm.listing().setSortOption(SortOption::nameAsc);
        SidebarHarness ui(vm);
        QVERIFY(ui.reload());
        QCOMPARE(shownNames(vm), (QStringList{"Movies", "Music", "Stay"}));

        auto* migrate = ui.find<QPushButton>("migrateSelectedButton");
        QVERIFY(!migrate->isEnabled());
        clickRowPart(ui, 0, &ui::DirectoryRowLayout::checkbox);
        clickRowPart(ui, 1, &ui::DirectoryRowLayout::checkbox);
        QCOMPARE(vm.browsing().selectedPaths(), (QSet<QString>{movies, music}));
        QVERIFY(migrate->isEnabled());

        bool disabledWhileRunning = false;
        connect(&vm.activity(), &ActivityState::isMigratingChanged, migrate, [&] {
            ui.settle();
            if (vm.activity().isMigrating())
                disabledWhileRunning = !migrate->isEnabled();
        });
        QTest::mouseClick(migrate, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!vm.activity().isMigrating() && QFileInfo(music).isSymLink(), 30000);
        QVERIFY(disabledWhileRunning);
        for (const auto& [source, file, size] :
             {std::tuple{movies, "/film.bin", 96 * 1024}, std::tuple{music, "/song.bin", 48 * 1024}}) {
            QVERIFY2(QFileInfo(source).isSymLink(), qPrintable(source));
            QCOMPARE(QFileInfo(source).symLinkTarget(), w.targetOf(source));
            QCOMPARE(QFileInfo(w.targetOf(source) + file).size(), qint64(size));
        }
        QVERIFY(!QFileInfo(w.tree.path("Stay")).isSymLink());
        QVERIFY(vm.browsing().selectedPaths().isEmpty());
        QVERIFY(waitUntilIdle(vm));
        ui.settle();
        QVERIFY(!migrate->isEnabled());
        // The moved folders are listed as links now, with the migrated badge.
        QTRY_VERIFY(ui.sidebar->listModel()->index(0).data(ui::DirectoryListModel::IsMigratedRole).toBool());
        ui.screenshot(QStringLiteral("sidebar-after-migration"));
    }

    void accountBadgeAfterSignIn()
    {
        AccountFixture account;
        QVERIFY(account.isReady());
        MainViewModel& vm = account.start();
        SidebarHarness ui(vm);
        ui.settle();
        QVERIFY(!shown(ui, "accountBadge"));
        QVERIFY(!shown(ui, "accountBusyIndicator"));

        account.service.http().setDelay(QStringLiteral("/api/v1/auth/login"), std::chrono::milliseconds(300));
        startDetached(vm.account().auth().signIn(AccountFixture::email, AccountFixture::password,
                                                 std::nullopt, std::nullopt));
        ui.settle();
        QVERIFY(shown(ui, "accountBusyIndicator"));
        QTRY_VERIFY_WITH_TIMEOUT(vm.accountState().backendSession().has_value(), 10000);
        QTRY_VERIFY(!vm.accountState().isBackendBusy());
        ui.settle();
        QVERIFY(!shown(ui, "accountBusyIndicator"));
        QVERIFY(shown(ui, "accountBadge"));
        QCOMPARE(ui.find<ui::Chip>("accountBadge")->text(), AccountFixture::email);
        QCOMPARE(ui.find<ui::Chip>("accountBadge")->toolTip(),
                 ui::plainToolTip(vm.account().texts().backendAccountSummary()));
        QCOMPARE(ui.find<QPushButton>("quickAccountButton")->text(), QStringLiteral("Account"));

        QTest::mouseClick(ui.find<QWidget>("accountBadge"), Qt::LeftButton);
        QCOMPARE(ui.state.activeSheet(), std::optional(ui::QuickSheet::account));
        ui.screenshot(QStringLiteral("sidebar-signed-in"));

        // The badge is a button for the keyboard too: it takes the focus and opens on Space and
        // Return.
        auto* badge = ui.find<QWidget>("accountBadge");
        QCOMPARE(badge->focusPolicy(), Qt::StrongFocus);
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
            ui.state.setActiveSheet(std::nullopt);
            badge->setFocus(Qt::TabFocusReason);
            QVERIFY(badge->hasFocus());
            QTest::keyClick(badge, key);
            QCOMPARE(ui.state.activeSheet(), std::optional(ui::QuickSheet::account));
        }
        ui.screenshot(QStringLiteral("sidebar-account-badge-focused"));
    }

    // With presentation privacy on, nothing the column shows names the home folder or the user.
    void privacyShowsNoHomePath()
    {
        ViewModelFixture fx;
        const QString docs = fx.tree.fileOfSize("Documents/Reports/r.pdf", 4096).section('/', 0, -3);
        auto vm =
            fx.makeViewModelWithSettings([](AppConfig& config) { config.presentationPrivacyEnabled = true; });
        SidebarHarness ui(*vm);
        vm->navigation().navigate(docs, true);
        QVERIFY(ui.reload());
        ViewModelInternals::context(*vm).browsing().setSmartMigrationEnabled(true);
        vm->navigation().setPathInput(docs + "/Reports");
        ViewModelInternals::context(*vm).activity().setInfoMessage(
            BilingualText::same("Listed " + docs + "/Reports"));
        ui.settle();

        QVERIFY(!shown(ui, "pathInputField"));
        QVERIFY(shown(ui, "maskedPathInput"));
        QVERIFY(!ui.find<QPushButton>("openDirectoryButton")->isEnabled());
        QVERIFY(shown(ui, "infoText"));
        const QString home = fx.home.home();
        const QStringList texts = ui.visibleTexts();
        QVERIFY(texts.size() > 40);
        // The login name as a path component (the volumes directory may carry it), unless it is the
        // mask's own word.
        const QString user = platform::userName();
        const QRegularExpression userName("(^|/)" + QRegularExpression::escape(user) + "(/|$)");
        for (const QString& text : texts) {
            QVERIFY2(!text.contains(home), qPrintable(text));
            QVERIFY2(user == QLatin1String("demo") || !text.contains(userName), qPrintable(text));
        }
        // Return in the hidden field submits nothing.
        auto* field = ui.find<QLineEdit>("pathInputField");
        Q_EMIT field->returnPressed();
        QCOMPARE(vm->browsing().currentDirectoryPath(), docs);
        ui.screenshot(QStringLiteral("sidebar-privacy"));
    }

    void screens_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("name");
        QTest::newRow("en") << UILanguage::english << "sidebar-en";
        QTest::newRow("zh") << UILanguage::chinese << "sidebar-zh";
        QTest::newRow("bilingual") << UILanguage::bilingual << "sidebar-bilingual";
    }

    // A populated column in each language: every button shows its whole label.
    void screens()
    {
        QFETCH(UILanguage, language);
        QFETCH(QString, name);
        ViewModelFixture fx;
        for (const char* file : {"Movies/a.mov", "Pictures/b.png", "Projects/c.cpp", "Downloads/d.zip"})
            fx.tree.fileOfSize(QString::fromLatin1(file), 200 * 1024);
        fx.tree.fileOfSize("Desktop/report.pdf", 300 * 1024);
        fx.tree.symlink("Linked", fx.tree.path("Movies"));
        auto vm = fx.makeViewModelWithSettings([language](AppConfig& config) {
            config.uiLanguage = language;
            config.minLargeSizeBytes = 0;
        });
        SidebarHarness ui(*vm);
        QVERIFY(ui.reload());
        vm->listing().setShowLinkMode(true);
        vm->settings().updateSmartMigrationEnabled(true);
        QVERIFY(waitUntilIdle(*vm));
        ViewModelInternals::context(*vm).browsing().setFocusedEntryPath(fx.tree.path("Pictures"));
        ViewModelInternals::context(*vm).browsing().setSelectedPaths({fx.tree.path("Projects")});
        ViewModelInternals::context(*vm).activity().setInfoMessage(
            BilingualText("扫描完成。", "Scan complete."));
        ui.settle();
        const QImage image = ui.screenshot(name);
        QVERIFY(!image.isNull());
        for (const QPushButton* button : ui.window->findChildren<QPushButton*>()) {
            if (button->isVisibleTo(ui.window.get()))
                QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->text()));
        }
        QVERIFY(ui.sidebar->width() <= ui.window->width());
    }
};

QTEST_MAIN(SidebarFlowsTest)
#include "tst_sidebarflows.moc"
