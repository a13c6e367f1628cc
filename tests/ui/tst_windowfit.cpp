#include "LayoutCheck.h"
#include "UiTestSupport.h"
#include "ViewModelFixture.h"
#include "WindowTestSupport.h"
#include "ui/views/dashboard/MainDashboardView.h"
#include "ui/widgets/LayoutSettling.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/state/ViewModelContext.h"

#include <QApplication>
#include <QListView>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest>
#include <functional>
#include <memory>

using namespace orvalink;
using namespace orvalink::test;

namespace {

// A home of 40 entries: folders and files of different sizes, some with long names.
void fillHome(TestTree& tree)
{
    for (int i = 0; i < 28; ++i) {
        const QString name = i % 7 == 3 ? QStringLiteral("Project archive with a rather long name %1").arg(i)
                                        : QStringLiteral("Folder %1").arg(i, 2, 10, QLatin1Char('0'));
        tree.fileOfSize(name + QStringLiteral("/data.bin"), (i + 1) * 4096);
    }
    for (int i = 0; i < 12; ++i)
        tree.fileOfSize(QStringLiteral("file-%1.dat").arg(i), (i + 1) * 1024);
}

QString sizeTag(const QSize& size)
{
    return QString::number(size.width()) + QLatin1Char('x') + QString::number(size.height());
}

// Every size in each language, with and without presentation privacy.
void addFitRows()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<UILanguage>("language");
    QTest::addColumn<bool>("privacy");
    QTest::addColumn<int>("leastRows");
    for (const auto& [size, rows] : {std::pair{QSize(1200, 760), 4}, std::pair{QSize(1480, 940), 10}}) {
        for (const FitSetting& setting : fitSettings()) {
            const QString name = sizeTag(size) + QLatin1Char('-') + setting.tag;
            QTest::newRow(qPrintable(name)) << size << setting.language << setting.privacy << rows;
        }
    }
}

LinkMapping mappingFor(const QString& source, int age)
{
    const QDateTime at = QDateTime::currentDateTimeUtc().addSecs(-60 * age);
    return {QUuid::createUuid(),
            source,
            QStringLiteral("/Volumes/External/OrvalinkRoot") + source,
            QStringLiteral("user"),
            QStringLiteral("unknown"),
            at,
            at};
}

// Everything the columns can show at once: smart migration, the hidden-files tip, a long message,
// a migration under way with finished and failed items, undo mode with its lists open.
void showEverything(MainViewModel& vm, ui::DashboardViewState& state, TestTree& tree)
{
    QList<LinkMapping> mappings;
    for (int i = 0; i < 3; ++i)
        mappings.append(
            mappingFor(tree.path(QStringLiteral("A folder whose name is far longer than any column of the "
                                                "window could ever show on one line %1")
                                     .arg(i)),
                       i));
    ViewModelInternals::context(vm).history().setUndoHistory(mappings);
    ViewModelInternals::context(vm).history().setMigratedMappings(mappings);
    ViewModelInternals::context(vm).history().setRecentMigrations({successRecord(mappings.at(0).sourcePath)});
    ViewModelInternals::context(vm).history().setRecentFailedMigrations(
        {failedRecord(mappings.at(1).sourcePath)});
    ViewModelInternals::context(vm).activity().setCurrentOperationTitle(
        QStringLiteral("Migrating Project archive with a rather long name 2 and two more folders"));
    ViewModelInternals::context(vm).activity().setMigrationTotalItems(3);
    ViewModelInternals::context(vm).activity().setMigrationProcessedItems(1);
    ViewModelInternals::context(vm).activity().setMigrationSucceededItems(1);
    ViewModelInternals::context(vm).activity().setMigrationTotalBytes(3 * 1024 * 1024);
    ViewModelInternals::context(vm).activity().setMigrationProcessedBytes(1024 * 1024);
    ViewModelInternals::context(vm).activity().setMigrationCurrentPath(mappings.at(2).sourcePath);
    ViewModelInternals::context(vm).activity().setDiskWork(DiskWork::migration);
    ViewModelInternals::context(vm).activity().setInfoMessage(QStringLiteral(
        "Migration started for 3 items. The first one finished; the second failed because the target "
        "already exists, and the third is being copied to the external volume right now."));
    vm.workflows().setUndoMode(true);
    state.setShowMigratedItemsPanel(true);
    state.setShowProgressPanel(true);
}

// The window over a home of 40 entries, in the settings `adjust` makes, at `size`.
struct FitWindow {
    FitWindow(QSize size, const std::function<void(AppConfig&)>& adjust)
    {
        fillHome(fx.tree);
        vm = fx.makeViewModelWithSettings([&](AppConfig& config) {
            config.minLargeSizeBytes = 0;
            adjust(config);
        });
        w = std::make_unique<WindowUnderTest>(*vm);
        w->window->resize(size);
    }
    // Shows the window and waits until its start-up and the listing are done.
    [[nodiscard]] bool start()
    {
        if (!w->showAndStart() || !waitUntilIdle(*vm))
            return false;
        ui::settleLayouts(*w->window);
        return true;
    }
    [[nodiscard]] bool saveAs(const QString& name) const
    {
        return !saveScreen(w->window->grab().toImage(), name).isEmpty();
    }
    QScrollArea* column() const
    {
        return w->window->findChild<QScrollArea*>(QStringLiteral("sidebarScroll"));
    }
    QListView* list() const { return w->window->findChild<QListView*>(QStringLiteral("directoryList")); }

    ViewModelFixture fx;
    std::unique_ptr<MainViewModel> vm;
    std::unique_ptr<WindowUnderTest> w;
};

} // namespace

// The window at its least size and at a common default, in each language with and without
// presentation privacy: nothing wider than its place, and the directory list in view.
class WindowFitTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        prepareWidgetTests();
        if (const auto missing = missingPinnedFonts())
            QSKIP(qPrintable(*missing));
    }

    void dashboardFits_data() { addFitRows(); }

    void dashboardFits()
    {
        QFETCH(QSize, size);
        QFETCH(UILanguage, language);
        QFETCH(bool, privacy);
        QFETCH(int, leastRows);
        FitWindow fit(size, [&](AppConfig& config) {
            config.uiLanguage = language;
            config.presentationPrivacyEnabled = privacy;
        });
        QVERIFY(fit.start());
        QCOMPARE(fit.w->window->size(), size);
        QVERIFY(fit.saveAs(QStringLiteral("fit-") + QTest::currentDataTag()));

        QScrollArea* column = fit.column();
        QListView* list = fit.list();
        QVERIFY(column && list);
        QVERIFY(list->model()->rowCount() >= 40);
        // Elements and four rows fit at both sizes: the column has nothing to scroll.
        QCOMPARE(column->verticalScrollBar()->maximum(), 0);
        const int rows = visibleListRows(*column, *list);
        qInfo("%s: %d list rows in view", QTest::currentDataTag(), rows);
        const QStringList faults = windowWidthFaults(*fit.w->window);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        QVERIFY2(rows >= leastRows, qPrintable(QStringLiteral("%1 rows in view").arg(rows)));
    }

    // With everything shown at once nothing is wider than its place either; the list may then
    // need the column to scroll.
    void everythingShownFits_data() { addFitRows(); }

    void everythingShownFits()
    {
        QFETCH(QSize, size);
        QFETCH(UILanguage, language);
        QFETCH(bool, privacy);
        FitWindow fit(size, [&](AppConfig& config) {
            config.uiLanguage = language;
            config.presentationPrivacyEnabled = privacy;
            config.showHiddenFiles = false;
            config.smartMigrationEnabled = true;
            // The longer of the two list names, and the card that says its container is missing.
            config.smartMigrationProfile = SmartMigrationProfile::wechat;
        });
        QVERIFY(fit.start());
        showEverything(*fit.vm, fit.w->viewState(), fit.fx.tree);
        ui::settleLayouts(*fit.w->window);
        QVERIFY(fit.saveAs(QStringLiteral("fit-all-") + QTest::currentDataTag()));
        const QStringList faults = windowWidthFaults(*fit.w->window);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        ViewModelInternals::context(*fit.vm).activity().setDiskWork(DiskWork::none);
    }

    // With smart migration on, the short window's column scrolls; the wheel over the list still
    // moves only the list, also once the list is at its end.
    void wheelOverTheListScrollsOnlyTheList()
    {
        FitWindow fit(QSize(1200, 760), [](AppConfig& config) {
            config.uiLanguage = UILanguage::bilingual;
            config.smartMigrationEnabled = true;
            config.showHiddenFiles = false;
        });
        QVERIFY(fit.start());
        QScrollArea* column = fit.column();
        QListView* list = fit.list();
        QVERIFY(column && list);
        QVERIFY2(column->verticalScrollBar()->maximum() > 0, "the column must have something to scroll");
        column->verticalScrollBar()->setValue(0);
        // A wheel event the list leaves unaccepted goes on to the column around it (the window
        // system's events travel up the parents until one accepts them).
        const auto wheelDown = [list] {
            const QPointF at(list->viewport()->width() / 2.0, 10);
            QWheelEvent wheel(at, list->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(list->viewport(), &wheel);
            return wheel.isAccepted();
        };
        QVERIFY(wheelDown());
        QVERIFY(list->verticalScrollBar()->value() > 0);
        QCOMPARE(column->verticalScrollBar()->value(), 0);
        list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
        QVERIFY2(wheelDown(), "at its end the list still keeps the wheel");
        QCOMPARE(column->verticalScrollBar()->value(), 0);
    }
};

QTEST_MAIN(WindowFitTest)
#include "tst_windowfit.moc"
