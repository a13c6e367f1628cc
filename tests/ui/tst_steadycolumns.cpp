#include "FitWindow.h"
#include "UiTestSupport.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QApplication>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

namespace {

int windowTop(const QWidget* widget)
{
    return widget->mapTo(widget->window(), QPoint(0, 0)).y();
}

// Whether the whole of `widget` shows in its window: no scroll area and no window edge cuts it.
bool wholeInView(const QWidget* widget)
{
    return widget->isVisible() && widget->visibleRegion().boundingRect() == widget->rect();
}

QList<LinkMapping> mappings(TestTree& tree, int count)
{
    QList<LinkMapping> list;
    for (int i = 0; i < count; ++i)
        list.append(mappingRecord(tree.path(QStringLiteral("Moved %1").arg(i))));
    return list;
}

// The laptop window, scrolled to the end of its detail column with the migrated items shown.
struct ScrolledDetail {
    ScrolledDetail()
        : fit(QSize(1366, 698), [](AppConfig& config) { config.uiLanguage = UILanguage::english; })
    {}

    bool open()
    {
        if (!fit.start())
            return false;
        ViewModelContext& context = ViewModelInternals::context(*fit.vm);
        context.history().setUndoHistory(mappings(fit.fx.tree, 6));
        context.history().setMigratedMappings(mappings(fit.fx.tree, 6));
        context.history().setMigratedMappingCount(6);
        fit.vm->workflows().setUndoMode(true);
        fit.w->viewState().setShowMigratedItemsPanel(true);
        settleWindow(window());
        column = window().findChild<QScrollArea*>(QStringLiteral("detailScroll"));
        if (!column || column->verticalScrollBar()->maximum() == 0)
            return false;
        column->verticalScrollBar()->setValue(column->verticalScrollBar()->maximum());
        settleWindow(window());
        return true;
    }

    QWidget& window() { return *fit.w->window; }
    template <typename T> T* find(const char* name)
    {
        return window().findChild<T*>(QString::fromLatin1(name));
    }

    FitWindow fit;
    QScrollArea* column = nullptr;
};

} // namespace

// The detail column keeps what is under the pointer where it is when its sections are laid out
// anew, and the workspace with the progress of running work stays in view wherever the column was
// scrolled to.
class SteadyColumnsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        prepareWidgetTests();
        if (const auto missing = missingPinnedFonts())
            QSKIP(qPrintable(*missing));
    }

    // A repair starts and ends while the pointer rests on "Repair All": the dock opens above, the
    // focused button is disabled, the history above is rebuilt shorter. The button stays put.
    void aRefreshKeepsWhatIsUnderThePointer()
    {
        ScrolledDetail d;
        QVERIFY(d.open());
        auto* repair = d.find<QPushButton>("repairAllLinks");
        QVERIFY(repair && wholeInView(repair));
        repair->setFocus(Qt::MouseFocusReason);
        QTest::mouseMove(repair, repair->rect().center());
        settleWindow(d.window());
        const int top = windowTop(repair);
        const int scrolled = d.column->verticalScrollBar()->value();

        ViewModelContext& context = ViewModelInternals::context(*d.fit.vm);
        context.activity().setDiskWork(DiskWork::linkRepair);
        settleWindow(d.window());
        QVERIFY(!repair->isEnabled());
        QCOMPARE(windowTop(repair), top);
        // The workspace opened above the column; the column scrolled by as much.
        QVERIFY(d.column->verticalScrollBar()->value() > scrolled);

        context.history().setRecentMigrations(
            {successRecord(context.history().undoHistory().at(0).sourcePath)});
        context.history().setUndoHistory(context.history().undoHistory().mid(0, 2));
        context.activity().setDiskWork(DiskWork::none);
        settleWindow(d.window());
        QCOMPARE(windowTop(repair), top);
        QVERIFY(wholeInView(repair));
        QVERIFY(!saveScreen(d.window().grab().toImage(), QStringLiteral("steady-after-repair")).isEmpty());

        // A scroll of the user's stays: the next refresh does not take it back.
        QScrollBar* bar = d.column->verticalScrollBar();
        const int before = bar->value();
        // As a press on the scroll bar's arrow does.
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        settleWindow(d.window());
        const int scrolledTo = bar->value();
        QVERIFY(scrolledTo < before);
        context.browsing().setSelectedPaths({d.fit.fx.tree.path(QStringLiteral("Folder 01"))});
        settleWindow(d.window());
        QCOMPARE(bar->value(), scrolledTo);
    }

    // Undo starts from the undo row, scrolled far down the column: its progress is in view at once.
    void theProgressOfRunningWorkIsInView()
    {
        ScrolledDetail d;
        QVERIFY(d.open());
        ActivityState& activity = ViewModelInternals::context(*d.fit.vm).activity();
        activity.setCurrentOperationTitle({"反悔上次迁移", "Undo Last Move"});
        activity.setMigrationTotalItems(1);
        activity.setDiskWork(DiskWork::undo);
        settleWindow(d.window());
        auto* progress = d.find<QWidget>("migrationProgressCard");
        QVERIFY(progress);
        QVERIFY2(wholeInView(d.find<QWidget>("progressTitle")), "the progress card's title is out of view");
        QVERIFY(wholeInView(d.find<QWidget>("overallPercent")));
        QVERIFY(!saveScreen(d.window().grab().toImage(), QStringLiteral("steady-undo-running")).isEmpty());
        activity.setDiskWork(DiskWork::none);
    }

    // Tab still brings the next control into view.
    void tabBringsTheFocusIntoView()
    {
        ScrolledDetail d;
        QVERIFY(d.open());
        d.column->verticalScrollBar()->setValue(0);
        settleWindow(d.window());
        auto* toggle = d.find<QWidget>("undoModeToggle");
        auto* last = d.find<QWidget>("repairAllLinks");
        QVERIFY(toggle && last);
        QApplication::setActiveWindow(&d.window());
        toggle->setFocus(Qt::TabFocusReason);
        for (int press = 0; press < 40 && QApplication::focusWidget() != last; ++press)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), last);
        settleWindow(d.window());
        QVERIFY(wholeInView(last));
    }
};

int main(int argc, char** argv)
{
    useLaptopScreen(ORVALINK_LAPTOP_SCREEN);
    QApplication app(argc, argv);
    SteadyColumnsTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_steadycolumns.moc"
