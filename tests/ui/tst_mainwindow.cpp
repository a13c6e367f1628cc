#include "UiTestSupport.h"
#include "ViewModelFixture.h"
#include "WindowTestSupport.h"
#include "ui/shell/SheetHost.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/dashboard/MainDashboardView.h"
#include "ui/views/detail/ActivityRecords.h"
#include "ui/views/detail/DetailPaneView.h"
#include "ui/views/sidebar/SidebarColumnView.h"
#include "ui/widgets/LayoutSettling.h"
#include "ui/widgets/SelectablePathField.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTest>
#include <algorithm>

using namespace orvalink;
using namespace orvalink::test;
using ui::QuickSheet;

Q_DECLARE_METATYPE(orvalink::UILanguage)
Q_DECLARE_METATYPE(std::optional<QuickSheet>)

namespace {

constexpr std::chrono::milliseconds kCollapse(300);

QCoro::Task<> countRun(int* runs)
{
    ++*runs;
    co_return;
}

// How often the views below a widget have refreshed.
class RefreshCount {
public:
    explicit RefreshCount(const QObject* root)
    {
        for (ui::RefreshScheduler* scheduler : root->findChildren<ui::RefreshScheduler*>())
            QObject::connect(scheduler, &ui::RefreshScheduler::refreshed, scheduler, [this] { ++m_runs; });
    }
    int runs() const { return m_runs; }
    void reset() { m_runs = 0; }

private:
    int m_runs = 0;
};

// Lets every refresh the last change scheduled below `root` run; false when one stays pending.
bool refreshesSettle(const QObject* root)
{
    const auto pending = [root] {
        const QList<ui::RefreshScheduler*> schedulers = root->findChildren<ui::RefreshScheduler*>();
        return std::any_of(schedulers.cbegin(), schedulers.cend(),
                           [](const ui::RefreshScheduler* scheduler) { return scheduler->isPending(); });
    };
    for (int round = 0; round < 100 && pending(); ++round)
        QCoreApplication::processEvents();
    return !pending();
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareWidgetTests(); }

    void frameHostsBothColumns()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup());
        QCOMPARE(w.window->windowTitle(), QStringLiteral("Orvalink"));
        auto* splitter = w.window->findChild<QSplitter*>(QStringLiteral("dashboardSplitter"));
        QVERIFY(splitter);
        QCOMPARE(splitter->count(), 2);
        QCOMPARE(splitter->widget(0)->metaObject()->className(), "orvalink::ui::SidebarColumnView");
        QCOMPARE(splitter->widget(1)->metaObject()->className(), "orvalink::ui::DetailPaneView");
        // Each column scrolls inside itself: the list and the workspace stay outside.
        auto* sidebar = splitter->widget(0)->findChild<QScrollArea*>(QStringLiteral("sidebarScroll"));
        auto* detail = splitter->widget(1)->findChild<QScrollArea*>(QStringLiteral("detailScroll"));
        QVERIFY(sidebar && detail);
        QVERIFY(!sidebar->isAncestorOf(w.window->findChild<QWidget*>(QStringLiteral("directoryList"))));
        QVERIFY(!detail->isAncestorOf(w.window->findChild<QWidget*>(QStringLiteral("activityWorkspace"))));
        // The normal window starts with the workspace and migrated items collapsed, storage open.
        QVERIFY(!w.viewState().showProgressPanel());
        QVERIFY(!w.viewState().showMigratedItemsPanel());
        QVERIFY(w.viewState().showStorageOverviewExpanded());
    }

    // Without start-up the initial sheet opens at once and nothing is listed; with it the initial
    // sheet is ignored and the start directory is listed.
    void startUp_data()
    {
        QTest::addColumn<bool>("bootstrap");
        QTest::addColumn<std::optional<QuickSheet>>("initialSheet");
        QTest::addColumn<std::optional<QuickSheet>>("openSheet");
        QTest::addColumn<QString>("dialogTitle");
        QTest::newRow("settings, no start-up") << false << std::optional(QuickSheet::settings)
                                               << std::optional(QuickSheet::settings) << "Settings";
        QTest::newRow("account, no start-up") << false << std::optional(QuickSheet::account)
                                              << std::optional(QuickSheet::account) << "Account Center";
        QTest::newRow("feedback, no start-up") << false << std::optional(QuickSheet::feedback)
                                               << std::optional(QuickSheet::feedback) << "Account Center";
        QTest::newRow("no sheet, no start-up")
            << false << std::optional<QuickSheet>() << std::optional<QuickSheet>() << QString();
        QTest::newRow("settings ignored by start-up")
            << true << std::optional(QuickSheet::settings) << std::optional<QuickSheet>() << QString();
    }

    void startUp()
    {
        QFETCH(bool, bootstrap);
        QFETCH(std::optional<QuickSheet>, initialSheet);
        QFETCH(std::optional<QuickSheet>, openSheet);
        QFETCH(QString, dialogTitle);
        ViewModelFixture fx;
        fx.tree.file("Documents/notes.txt", "notes");
        // 12.34 MB: one decimal before the start-up, two after it.
        auto vm =
            fx.makeViewModelWithSettings([](AppConfig& config) { config.minLargeSizeBytes = 12939428; });
        WindowUnderTest w(*vm, options(initialSheet, bootstrap));
        QCOMPARE(w.viewState().minSizeInput(), QStringLiteral("12.3"));
        QVERIFY(w.showAndStart());
        QCOMPARE(w.viewState().minSizeInput(), QStringLiteral("12.34"));
        QCOMPARE(w.viewState().activeSheet(), openSheet);
        QCOMPARE(w.window->sheets().shownSheet(), openSheet);
        QCOMPARE(bool(w.window->sheets().dialog()), openSheet.has_value());
        if (QDialog* dialog = w.window->sheets().dialog()) {
            QVERIFY(dialog->isVisible());
            QCOMPARE(dialog->windowModality(), Qt::WindowModal);
            QCOMPARE(dialog->windowTitle(), dialogTitle);
        }
        // The start-up flow lists the start directory and says so; without it nothing is listed.
        QCOMPARE(infoLine(*vm).has_value(), bootstrap);
        QCOMPARE(vm->browsing().entries().isEmpty(), !bootstrap);
    }

    void theReadyMessageNamesTheRefreshButton_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("close");
        QTest::newRow("english") << UILanguage::english << "\""
                                 << "\"";
        QTest::newRow("chinese") << UILanguage::chinese << "“"
                                 << "”";
    }
    // The start-up message asks for a click on a button the window really has.
    void theReadyMessageNamesTheRefreshButton()
    {
        QFETCH(UILanguage, language);
        QFETCH(QString, open);
        QFETCH(QString, close);
        ViewModelFixture fx;
        auto vm =
            fx.makeViewModelWithSettings([language](AppConfig& config) { config.uiLanguage = language; });
        WindowUnderTest w(*vm, options(std::nullopt, true));
        QVERIFY(w.showAndStart());
        const auto* button = w.window->findChild<QPushButton*>(QStringLiteral("rescanButton"));
        QVERIFY(button && !button->text().isEmpty());
        QVERIFY2(infoLine(*vm).value_or(QString()).contains(open + button->text() + close),
                 qPrintable(infoLine(*vm).value_or(QString())));
    }

    // The lines that report what happened keep it in both languages: a switch of language redraws
    // the window's status line, the progress title and the account sheet's status line at once, in
    // the language now chosen.
    void aLanguageSwitchRedrawsTheLines()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm);
        QVERIFY(w.showAndStart());
        QVERIFY(waitUntilIdle(*vm));
        ActivityState& activity = ViewModelInternals::context(*vm).activity();
        activity.setCurrentOperationTitle({"反悔上次迁移", "Undo Last Move"});
        activity.setMigrationTotalItems(1);
        w.viewState().setShowProgressPanel(true);
        ViewModelInternals::context(*vm).accountState().setBackendStatusMessage(
            BilingualText("已退出登录。", "Signed out."));
        w.viewState().setActiveSheet(QuickSheet::account);
        QTRY_VERIFY(w.window->sheets().dialog());
        const auto label = [&](QWidget* root, const char* name) {
            ui::RefreshScheduler::flushAll(root);
            const auto* found = root->findChild<QLabel*>(QString::fromLatin1(name));
            return found ? found->text() : QStringLiteral("(none)");
        };
        const struct {
            UILanguage language;
            QString info;
            QString title;
            QString status;
        } rounds[] = {
            {UILanguage::english, "Directory loaded. Click \"Refresh Now\" for deep scan.", "Undo Last Move",
             "Signed out."},
            {UILanguage::chinese, "已加载目录。点击“立即刷新”执行深度扫描。", "反悔上次迁移", "已退出登录。"},
            {UILanguage::bilingual,
             "已加载目录。点击“立即刷新”执行深度扫描。 Directory loaded. Click \"Refresh Now\" for deep "
             "scan.",
             "反悔上次迁移 Undo Last Move", "已退出登录。 Signed out."},
        };
        for (const auto& round : rounds) {
            vm->settings().setLanguage(round.language);
            QCOMPARE(label(w.window.get(), "infoText"), round.info);
            QCOMPARE(label(w.window.get(), "progressTitle"), round.title);
            QCOMPARE(label(w.window->sheets().dialog(), "statusText"), round.status);
            // The window lays itself out anew for the longer or shorter texts.
            ui::settleLayouts(*w.window);
            const QStringList faults = windowWidthFaults(*w.window);
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        }
        QVERIFY(
            !saveScreen(w.window->grab().toImage(), QStringLiteral("window-language-switched")).isEmpty());
    }

    // The window goes while its start-up flow waits for the listing: the flow ends on its own and
    // the automation runs of the window never run.
    void windowGoesDuringStartUp()
    {
        ViewModelFixture fx;
        for (int i = 0; i < 200; ++i)
            fx.tree.file(QStringLiteral("Folder%1/file.txt").arg(i), "x");
        auto vm = fx.makeViewModelWithSettings();
        auto w = std::make_unique<WindowUnderTest>(*vm);
        int automationRuns = 0;
        w->dashboard().setAutomationRuns({[&automationRuns](ui::MainDashboardView&) {
            return countRun(&automationRuns);
        }});
        w->window->show();
        QTRY_VERIFY(vm->browsing().isScanning() || infoLine(*vm));
        const bool finishedFirst = w->dashboard().hasFinishedStartup();
        w.reset();
        QVERIFY(waitUntilIdle(*vm));
        QTRY_VERIFY(infoLine(*vm));
        for (int round = 0; round < 5; ++round)
            QCoreApplication::processEvents();
        QCOMPARE(automationRuns, finishedFirst ? 1 : 0);
    }

    // Closing the dialog clears the open sheet; a new value replaces the open dialog.
    void sheetFollowsViewState()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup());
        QVERIFY(w.showAndStart());
        w.viewState().setActiveSheet(QuickSheet::account);
        QPointer<QDialog> account = w.window->sheets().dialog();
        QVERIFY(account && account->isVisible());
        w.viewState().setActiveSheet(QuickSheet::settings);
        QTRY_VERIFY(!account);
        QPointer<QDialog> settings = w.window->sheets().dialog();
        QVERIFY(settings && settings->isVisible());
        QCOMPARE(settings->windowTitle(), QStringLiteral("Settings"));
        settings->reject();
        QCOMPARE(w.viewState().activeSheet(), std::optional<QuickSheet>());
        QTRY_VERIFY(!settings);
        QVERIFY(!w.window->sheets().dialog());
    }

    // Successful work keeps the workspace open for the collapse delay after the last new result,
    // then collapses it; a new success restarts the wait. The header says so while it holds.
    void successCollapsesAfterDelay()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup(), kCollapse);
        QVERIFY(w.showAndStart());
        HistoryState& history = ViewModelInternals::context(*vm).history();
        const auto* summary = w.window->findChild<QLabel*>(QStringLiteral("activitySummary"));
        const auto* badge = w.window->findChild<QLabel*>(QStringLiteral("activityBadge"));

        history.setRecentMigrations({successRecord(fx.tree.path("A"))});
        QVERIFY(w.viewState().showProgressPanel());
        QVERIFY(w.dashboard().isActivityAutoCollapsePending());
        QTRY_COMPARE(summary->text(),
                     "The latest operation finished. The workspace collapses by itself in a few seconds.");
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY(clock.elapsed() >= kCollapse.count() / 2);

        // Whether or not a stalled machine let the first wait run out meanwhile, the panel stays for a
        // whole delay after this change: a wait that was not restarted would end half a delay from now.
        history.setRecentMigrations({successRecord(fx.tree.path("A")), successRecord(fx.tree.path("B"))});
        QElapsedTimer sinceRestart;
        sinceRestart.start();
        QVERIFY(w.viewState().showProgressPanel());
        QTRY_VERIFY(!w.viewState().showProgressPanel());
        // Coarse timers may fire up to 5% early.
        QVERIFY2(sinceRestart.elapsed() >= kCollapse.count() * 95 / 100,
                 qPrintable(QString::number(sinceRestart.elapsed())));
        QVERIFY(!w.dashboard().isActivityAutoCollapsePending());
        QTRY_COMPARE(summary->text(), "The latest operation finished.");
        QCOMPARE(badge->text(), "Finished");

        // Opening a folder brings nothing new: the workspace stays collapsed, nothing timed.
        for (bool scanning : {true, false}) {
            ViewModelInternals::context(*vm).browsing().setIsScanning(scanning);
            ViewModelInternals::context(*vm).browsing().setIsBackgroundScanning(scanning);
        }
        QVERIFY(!w.viewState().showProgressPanel());
        QVERIFY(!w.dashboard().isActivityAutoCollapsePending());
        // A new result opens it and times it again.
        history.setRecentMigrations({successRecord(fx.tree.path("C"))});
        QVERIFY(w.viewState().showProgressPanel());
        QVERIFY(w.dashboard().isActivityAutoCollapsePending());
        QTRY_VERIFY(!w.viewState().showProgressPanel());
    }

    // Failed records, entries an undo left on the volume, links a repair could not repair and
    // running work keep the workspace open and never time a collapse.
    void busyKeepsWorkspaceOpen_data()
    {
        QTest::addColumn<QString>("busy");
        QTest::newRow("failed record") << "failed";
        QTest::newRow("migration running") << "migrating";
        QTest::newRow("links being repaired") << "repairing";
        QTest::newRow("link not repaired") << "unrepaired";
        QTest::newRow("entries left behind") << "leftBehind";
    }

    void busyKeepsWorkspaceOpen()
    {
        QFETCH(QString, busy);
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup(), kCollapse);
        QVERIFY(w.showAndStart());
        ViewModelInternals::context(*vm).history().setRecentMigrations({successRecord(fx.tree.path("A"))});
        QVERIFY(w.dashboard().isActivityAutoCollapsePending());
        // The user collapses the workspace; becoming busy opens it again, once: closed by the user,
        // it stays closed through a folder opened meanwhile.
        w.viewState().setShowProgressPanel(false);
        HistoryState& history = ViewModelInternals::context(*vm).history();
        if (busy == "failed")
            history.setRecentFailedMigrations({failedRecord(fx.tree.path("B"))});
        else if (busy == "leftBehind")
            history.setUndoLeftovers({leftBehindRecord(fx.tree.path("B"), 2)});
        else if (busy == "unrepaired")
            history.setLastLinkRepair(LinkRepairReport{
                {}, {linkRepairRecord(fx.tree.path("B"), true), linkRepairRecord(fx.tree.path("C"), false)}});
        else if (busy == "migrating")
            ViewModelInternals::context(*vm).activity().setDiskWork(DiskWork::migration);
        else
            ViewModelInternals::context(*vm).activity().setDiskWork(DiskWork::linkRepair);
        QVERIFY(w.viewState().showProgressPanel());
        QVERIFY(!w.dashboard().isActivityAutoCollapsePending());
        w.viewState().setShowProgressPanel(false);
        ViewModelInternals::context(*vm).browsing().setIsBackgroundScanning(true);
        ViewModelInternals::context(*vm).browsing().setIsBackgroundScanning(false);
        QVERIFY(!w.viewState().showProgressPanel());
        QVERIFY(!w.dashboard().isActivityAutoCollapsePending());
        // Busy until the condition goes; then the successful work is timed out as usual (a repair
        // that repaired all it acted on is such work).
        if (busy == "failed")
            history.setRecentFailedMigrations({});
        else if (busy == "leftBehind")
            history.setUndoLeftovers({});
        else if (busy == "unrepaired") {
            // The report of a repair alone is successful work too.
            history.setRecentMigrations({});
            QVERIFY(!w.dashboard().isActivityAutoCollapsePending());
            history.setLastLinkRepair(LinkRepairReport{{}, {linkRepairRecord(fx.tree.path("B"), true)}});
        } else if (busy == "migrating")
            ViewModelInternals::context(*vm).activity().setDiskWork(DiskWork::none);
        else
            ViewModelInternals::context(*vm).activity().setDiskWork(DiskWork::none);
        QVERIFY(w.dashboard().isActivityAutoCollapsePending());
        QTRY_VERIFY(!w.viewState().showProgressPanel());
    }

    // Without any activity the workspace keeps what the user chose through scans and refreshes.
    void quietKeepsUserChoice_data()
    {
        QTest::addColumn<bool>("open");
        QTest::newRow("kept open") << true;
        QTest::newRow("kept collapsed") << false;
    }

    void quietKeepsUserChoice()
    {
        QFETCH(bool, open);
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup(), kCollapse);
        QVERIFY(w.showAndStart());
        w.viewState().setShowProgressPanel(open);
        for (bool scanning : {true, false}) {
            ViewModelInternals::context(*vm).browsing().setIsScanning(scanning);
            ViewModelInternals::context(*vm).browsing().setIsBackgroundScanning(scanning);
        }
        // A list replaced by another of the same (empty) length fires nothing.
        ViewModelInternals::context(*vm).history().setLastRestoredPaths({});
        QCOMPARE(w.viewState().showProgressPanel(), open);
        QVERIFY(!w.dashboard().isActivityAutoCollapsePending());
    }

    // A new minimum size rewrites the field unless the user is typing in it.
    void minimumSizeFollowsSetting()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup());
        QVERIFY(w.showAndStart());
        w.viewState().setMinSizeInputFocused(true);
        w.viewState().setMinSizeInput(QStringLiteral("7,"));
        ViewModelInternals::context(*vm).browsing().setMinSizeMB(2.5);
        QCOMPARE(w.viewState().minSizeInput(), QStringLiteral("7,"));
        w.viewState().setMinSizeInputFocused(false);
        ViewModelInternals::context(*vm).browsing().setMinSizeMB(10.000002);
        QCOMPARE(w.viewState().minSizeInput(), QStringLiteral("10"));
    }

    // The guide export renders with the appear hooks off: no start-up, no timed collapse.
    void appearHooksOff()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup(QuickSheet::settings), kCollapse);
        w.dashboard().setAppearHooksEnabled(false);
        w.window->show();
        for (int round = 0; round < 5; ++round)
            QCoreApplication::processEvents();
        QVERIFY(!w.dashboard().hasFinishedStartup());
        QVERIFY(!w.viewState().activeSheet());
        ViewModelInternals::context(*vm).history().setRecentMigrations({successRecord(fx.tree.path("A"))});
        QVERIFY(w.viewState().showProgressPanel());
        QVERIFY(!w.dashboard().isActivityAutoCollapsePending());
    }

    // Each view refreshes on the values it shows: the progress of a migration leaves the sidebar
    // alone, a search keystroke leaves the detail column alone, and each reaches the column that
    // shows it.
    void eachColumnRefreshesOnlyForWhatItShows()
    {
        ViewModelFixture fx;
        for (int i = 0; i < 30; ++i)
            fx.tree.file(QStringLiteral("Docs/report-%1.txt").arg(i), "report");
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup());
        QVERIFY(w.showAndStart());
        vm->navigation().navigate(fx.tree.path("Docs"), true);
        QVERIFY(waitUntilIdle(*vm));
        auto* sidebar = w.window->findChild<ui::SidebarColumnView*>();
        auto* detail = w.window->findChild<ui::DetailPaneView*>();
        QVERIFY(sidebar && detail);
        RefreshCount sidebarRuns(sidebar);
        RefreshCount detailRuns(detail);

        // A migration of 100 items starts, as its workflow publishes it, then reports each one.
        ActivityState& activity = ViewModelInternals::context(*vm).activity();
        activity.setMigrationTotalItems(100);
        activity.setMigrationTotalBytes(100 * 1024);
        activity.setDiskWork(DiskWork::migration);
        QVERIFY(refreshesSettle(w.window.get()));
        sidebarRuns.reset();
        detailRuns.reset();
        for (int sample = 1; sample <= 100; ++sample) {
            activity.setMigrationProcessedBytes(sample * 1024);
            activity.setMigrationProcessedItems(sample);
            activity.setMigrationSucceededItems(sample);
            activity.setMigrationCurrentPath(
                fx.tree.path(QStringLiteral("Docs/report-%1.txt").arg(sample % 30)));
            QVERIFY(refreshesSettle(w.window.get()));
        }
        QCOMPARE(sidebarRuns.runs(), 0);
        QVERIFY2(detailRuns.runs() >= 100, qPrintable(QString::number(detailRuns.runs())));
        QCOMPARE(detail->findChild<QLabel*>(QStringLiteral("progressPercent"))->text(),
                 QStringLiteral("100%"));
        activity.setDiskWork(DiskWork::none);
        QVERIFY(refreshesSettle(w.window.get()));

        auto* search = sidebar->findChild<QLineEdit*>(QStringLiteral("searchField"));
        QVERIFY(search);
        sidebarRuns.reset();
        detailRuns.reset();
        for (const QChar letter : QStringLiteral("report-1")) {
            QTest::keyClicks(search, QString(letter));
            QVERIFY(refreshesSettle(w.window.get()));
        }
        QCOMPARE(vm->browsing().searchQuery(), QStringLiteral("report-1"));
        QCOMPARE(detailRuns.runs(), 0);
        QVERIFY2(sidebarRuns.runs() >= 8, qPrintable(QString::number(sidebarRuns.runs())));
        const qsizetype matches = vm->listing().sortedEntries().size();
        QVERIFY(matches > 0 && matches < 30);
        QCOMPARE(sidebar->findChild<QLabel*>(QStringLiteral("matchCount"))->text(),
                 QStringLiteral("Match %1 items").arg(matches));
    }

    // The records under the activity dock refresh once for each change of what they list, and not
    // at all for a progress sample, although the dock around them refreshes for every sample.
    void activityRecordsRefreshOncePerChange()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup());
        QVERIFY(w.showAndStart());
        QVERIFY(waitUntilIdle(*vm));
        auto* records = w.window->findChild<ui::ActivityRecords*>();
        QVERIFY(records);
        RefreshCount recordRuns(records);

        ActivityState& activity = ViewModelInternals::context(*vm).activity();
        activity.setMigrationTotalItems(10);
        activity.setDiskWork(DiskWork::migration);
        QVERIFY(refreshesSettle(w.window.get()));
        QVERIFY(w.viewState().showProgressPanel());
        recordRuns.reset();
        for (int sample = 1; sample <= 10; ++sample) {
            activity.setMigrationProcessedItems(sample);
            QVERIFY(refreshesSettle(w.window.get()));
        }
        QCOMPARE(recordRuns.runs(), 0);

        HistoryState& history = ViewModelInternals::context(*vm).history();
        for (int record = 1; record <= 3; ++record) {
            history.setRecentMigrations(
                history.recentMigrations() +
                QList{successRecord(fx.tree.path(QStringLiteral("R%1").arg(record)))});
            QVERIFY(refreshesSettle(w.window.get()));
            QCOMPARE(recordRuns.runs(), record);
        }
        activity.setDiskWork(DiskWork::none);
    }

    // Every path line of the window and of the settings sheet shows its path masked under
    // presentation privacy, and its copy entry copies the real path: the window's lines through
    // the window's path menu, the sheet's through their own entry.
    void pathLinesCopyTheRealPath_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("inSheet");
        QTest::newRow("scan root") << "scanRootPath" << false;
        QTest::newRow("target root") << "targetRootPath" << false;
        QTest::newRow("current folder") << "currentPathText" << false;
        QTest::newRow("item being migrated") << "currentItemPath" << false;
        QTest::newRow("first target") << "firstTargetValue" << true;
        QTest::newRow("active target") << "activeTargetValue" << true;
        QTest::newRow("blocked path") << "blockedPathRow" << true;
    }

    void pathLinesCopyTheRealPath()
    {
        QFETCH(QString, line);
        QFETCH(bool, inSheet);
        ViewModelFixture fx;
        const QString alpha = fx.tree.dir("Alpha");
        const QString target = fx.tree.dir("Target root");
        auto vm = fx.makeViewModelWithSettings([&](AppConfig& config) {
            config.presentationPrivacyEnabled = true;
            config.unifiedTargetManagementEnabled = true;
            config.managedTargetRoot = target;
        });
        WindowUnderTest w(*vm, withoutStartup());
        QVERIFY(w.showAndStart());
        vm->navigation().navigate(alpha, true);
        QVERIFY(waitUntilIdle(*vm));
        ViewModelInternals::context(*vm).activity().setMigrationCurrentPath(alpha);
        ViewModelInternals::context(*vm).activity().setDiskWork(DiskWork::migration);
        w.viewState().setShowProgressPanel(true);
        if (inSheet) {
            w.viewState().setActiveSheet(QuickSheet::settings);
            QVERIFY(w.window->sheets().dialog());
            w.window->findChild<QPushButton*>(QStringLiteral("blockedPathsButton"))->click();
        }
        QVERIFY(refreshesSettle(w.window.get()));
        const QMap<QString, QString> real{
            {"scanRootPath", fx.home.home()},
            {"targetRootPath", target},
            {"currentPathText", alpha},
            {"currentItemPath", alpha},
            {"firstTargetValue", target},
            {"activeTargetValue", target},
            {"blockedPathRow", vm->settings().strictModeBlockedPaths().value(0)}};

        const auto shownLine = [&]() -> ui::SelectablePathField* {
            for (auto* candidate : w.window->findChildren<ui::SelectablePathField*>(line)) {
                if (candidate->isVisible())
                    return candidate;
            }
            return nullptr;
        };
        QTRY_VERIFY(shownLine());
        ui::SelectablePathField* field = shownLine();
        QVERIFY2(!field->text().contains(fx.home.home()), qPrintable(field->text()));
        QGuiApplication::clipboard()->clear();
        field->setSelection(0, 2);
        std::unique_ptr<QMenu> menu(field->createPathMenu(nullptr));
        menu->findChild<QAction*>(QStringLiteral("copyPathAction"))->trigger();
        const QString copied = inSheet ? QGuiApplication::clipboard()->text() : fx.clipboard->texts.value(0);
        QCOMPARE(copied, real.value(line));
    }

    void screens_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<bool>("privacy");
        QTest::newRow("english") << UILanguage::english << false;
        QTest::newRow("chinese") << UILanguage::chinese << false;
        QTest::newRow("bilingual") << UILanguage::bilingual << false;
        QTest::newRow("privacy") << UILanguage::english << true;
    }

    void screens()
    {
        QFETCH(UILanguage, language);
        QFETCH(bool, privacy);
        ViewModelFixture fx;
        fx.tree.fileOfSize("Projects/build/cache.bin", 3 * 1024 * 1024);
        fx.tree.fileOfSize("Videos/holiday.mkv", 2 * 1024 * 1024);
        fx.tree.file("Documents/notes.txt", "notes");
        auto vm = fx.makeViewModelWithSettings([&](AppConfig& config) {
            config.uiLanguage = language;
            config.presentationPrivacyEnabled = privacy;
        });
        WindowUnderTest w(*vm);
        QVERIFY(w.showAndStart());
        QVERIFY(waitUntilIdle(*vm));
        const QImage image = w.window->grab().toImage();
        QCOMPARE(image.size(), QSize(1200, 760));
        QVERIFY(!saveScreen(image, QStringLiteral("window-") + QTest::currentDataTag()).isEmpty());
        const QStringList faults = windowWidthFaults(*w.window);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
