#include "ui/views/common/DashboardViewState.h"
#include "ui/views/common/QuickSheet.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/SheetRegistry.h"
#include "viewmodel/state/BrowsingState.h"

#include <QSignalSpy>
#include <QTest>

using namespace orvalink;
using namespace orvalink::ui;

class ViewStateTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void quickSheetRawValues_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("sheet"); // -1: none
        QTest::newRow("account") << "account" << int(QuickSheet::account);
        QTest::newRow("feedback") << "feedback" << int(QuickSheet::feedback);
        QTest::newRow("settings") << "settings" << int(QuickSheet::settings);
        QTest::newRow("capitalised") << "Settings" << -1;
        QTest::newRow("padded") << " account" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("other") << "history" << -1;
    }

    void quickSheetRawValues()
    {
        QFETCH(QString, text);
        QFETCH(int, sheet);
        const std::optional<QuickSheet> parsed = quickSheetFromRawValue(text);
        QCOMPARE(parsed.has_value(), sheet >= 0);
        if (parsed) {
            QCOMPARE(int(*parsed), sheet);
            QCOMPARE(rawValue(*parsed), text);
        }
    }

    void dashboardStateStartsAsANormalWindowAndSignalsOnlyChanges()
    {
        DashboardViewState state;
        QVERIFY(!state.activeSheet());
        QVERIFY(!state.showProgressPanel());
        QVERIFY(!state.showMigratedItemsPanel());
        QVERIFY(state.showStorageOverviewExpanded());

        QSignalSpy sheet(&state, &DashboardViewState::activeSheetChanged);
        QSignalSpy progress(&state, &DashboardViewState::showProgressPanelChanged);
        state.setActiveSheet(QuickSheet::feedback);
        state.setActiveSheet(QuickSheet::feedback);
        state.setActiveSheet(std::nullopt);
        state.setShowProgressPanel(false);
        state.setShowProgressPanel(true);
        QCOMPARE(sheet.count(), 2);
        QCOMPARE(progress.count(), 1);
    }

    // Many changes of one step give one refresh, after control returns to the event loop; a
    // value the view does not watch gives none.
    void refreshesAreCoalesced()
    {
        BrowsingState browsing;
        int refreshes = 0;
        RefreshScheduler scheduler([&] { ++refreshes; }, nullptr);
        QSignalSpy refreshed(&scheduler, &RefreshScheduler::refreshed);
        scheduler.watch(&browsing, &BrowsingState::searchQueryChanged,
                        &BrowsingState::currentDirectoryPathChanged, &BrowsingState::isScanningChanged);
        browsing.setSearchQuery(QStringLiteral("a"));
        browsing.setCurrentDirectoryPath(QStringLiteral("/x"));
        browsing.setIsScanning(true);
        QCOMPARE(refreshes, 0);
        QVERIFY(scheduler.isPending());
        QTRY_COMPARE(refreshes, 1);
        QVERIFY(!scheduler.isPending());
        QCOMPARE(refreshed.count(), 1);

        browsing.setShowLinkMode(true);
        QVERIFY(!scheduler.isPending());

        browsing.setIsScanning(true); // no change, no signal
        QCoreApplication::processEvents();
        QCOMPARE(refreshes, 1);

        browsing.setIsScanning(false);
        scheduler.flush();
        QCOMPARE(refreshes, 2);
        QCoreApplication::processEvents();
        QCOMPARE(refreshes, 2);
    }
};

QTEST_MAIN(ViewStateTest)
#include "tst_viewstate.moc"
