#include "FitWindow.h"
#include "LayoutCheck.h"
#include "UiTestSupport.h"
#include "UndoWindow.h"
#include "ui/shell/ScreenFit.h"
#include "ui/views/dashboard/MainDashboardView.h"
#include "ui/views/detail/RecordRowDelegate.h"
#include "ui/views/sidebar/DirectoryRowLayout.h"
#include "ui/widgets/BreadcrumbRow.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/LayoutSettling.h"
#include "ui/widgets/PlainToolTip.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>
#include <QWindow>

using namespace orvalink;
using namespace orvalink::test;

namespace {

QString sizeTag(const QSize& size)
{
    return QString::number(size.width()) + QLatin1Char('x') + QString::number(size.height());
}

// The least size, the least a 1366x768 laptop leaves (its panel and the title bar taken), and a
// common default; the rows of the list each keeps in view, with Smart Migration on too.
struct FitSize {
    QSize size;
    int plainRows;
    int smartRows;
};
constexpr FitSize kFitSizes[] = {
    {QSize(1200, 760), 4, 4}, {QSize(1366, 698), 4, 4}, {QSize(1480, 940), 10, 8}};

// Every size in each state, language and privacy setting.
void addFitRows()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<FitState>("state");
    QTest::addColumn<UILanguage>("language");
    QTest::addColumn<bool>("privacy");
    QTest::addColumn<int>("leastRows");
    const std::pair<FitState, const char*> states[] = {
        {FitState::plain, ""}, {FitState::smart, "smart-"}, {FitState::longFolder, "long-"}};
    for (const FitSize& fit : kFitSizes) {
        for (const auto& [state, tag] : states) {
            for (const FitSetting& setting : fitSettings()) {
                const QString name = QLatin1String(tag) + sizeTag(fit.size) + QLatin1Char('-') + setting.tag;
                QTest::newRow(qPrintable(name)) << fit.size << state << setting.language << setting.privacy
                                                << (state == FitState::smart ? fit.smartRows : fit.plainRows);
            }
        }
    }
}

// Every size in each language and privacy setting.
void addSizeRows()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<UILanguage>("language");
    QTest::addColumn<bool>("privacy");
    for (const FitSize& fit : kFitSizes) {
        for (const FitSetting& setting : fitSettings())
            QTest::newRow(qPrintable(sizeTag(fit.size) + QLatin1Char('-') + setting.tag))
                << fit.size << setting.language << setting.privacy;
    }
}

// Whether the whole of `widget` shows in its window: no scroll area and no window edge cuts it.
// (Its visible region would leave out what its own opaque children cover, as a list's viewport.)
bool wholeInView(const QWidget* widget)
{
    if (!widget || !widget->isVisible())
        return false;
    QRect shown = widget->rect();
    for (const QWidget* around = widget->parentWidget(); around; around = around->parentWidget())
        shown &= QRect(widget->mapFrom(around, QPoint(0, 0)), around->size());
    return shown == widget->rect();
}

// Each language setting.
void addLanguageRows()
{
    QTest::addColumn<UILanguage>("language");
    QTest::newRow("zh") << UILanguage::chinese;
    QTest::newRow("en") << UILanguage::english;
    QTest::newRow("both") << UILanguage::bilingual;
}

// Unfolds the smart-migration suggestions as the user does.
bool unfoldSuggestions(QWidget& window)
{
    auto* toggle = window.findChild<QPushButton*>(QStringLiteral("smartMigrationToggle"));
    if (!toggle || !toggle->isVisible())
        return false;
    toggle->click();
    ui::settleLayouts(window);
    return true;
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
    ViewModelInternals::context(vm).history().setMigratedMappingCount(mappings.size());
    ViewModelInternals::context(vm).history().setRecentMigrations({successRecord(mappings.at(0).sourcePath)});
    ViewModelInternals::context(vm).history().setRecentFailedMigrations(
        {failedRecord(mappings.at(1).sourcePath)});
    ViewModelInternals::context(vm).activity().setCurrentOperationTitle(BilingualText::same(
        QStringLiteral("Migrating Project archive with a rather long name 2 and two more folders")));
    ViewModelInternals::context(vm).activity().setMigrationTotalItems(3);
    ViewModelInternals::context(vm).activity().setMigrationProcessedItems(1);
    ViewModelInternals::context(vm).activity().setMigrationSucceededItems(1);
    ViewModelInternals::context(vm).activity().setMigrationTotalBytes(3 * 1024 * 1024);
    ViewModelInternals::context(vm).activity().setMigrationProcessedBytes(1024 * 1024);
    ViewModelInternals::context(vm).activity().setMigrationCurrentPath(mappings.at(2).sourcePath);
    ViewModelInternals::context(vm).activity().setDiskWork(DiskWork::migration);
    ViewModelInternals::context(vm).activity().setInfoMessage(BilingualText::same(QStringLiteral(
        "Migration started for 3 items. The first one finished; the second failed because the target "
        "already exists, and the third is being copied to the external volume right now.")));
    vm.workflows().setUndoMode(true);
    state.setShowMigratedItemsPanel(true);
    state.setShowProgressPanel(true);
}

// What is wrong with the breadcrumbs: a chip outside the row, a chip cut short without "…" or
// without its whole name as a plain tip, a whole one with a tip, a parent cut short while the
// current folder (last) still shows more than a readable part of its name.
QStringList breadcrumbFaults(const ui::BreadcrumbRow& row)
{
    QStringList faults;
    const QList<ui::Chip*> chips = row.chips();
    for (const ui::Chip* chip : chips) {
        const QString name = chip->text().left(30);
        if (chip->geometry().left() < 0 || chip->geometry().right() >= row.width())
            faults.append(name + QStringLiteral(": outside the row"));
        if (chip->fontMetrics().horizontalAdvance(chip->shownText()) > chip->width())
            faults.append(name + QStringLiteral(": text wider than the chip"));
        const bool cut = chip->shownText() != chip->text();
        if (cut && !chip->shownText().contains(QChar(0x2026)))
            faults.append(name + QStringLiteral(": cut without an ellipsis"));
        if (chip->toolTip() != (cut ? ui::plainToolTip(chip->text()) : QString()))
            faults.append(name + QStringLiteral(": tip \"%1\"").arg(chip->toolTip().left(40)));
    }
    const ui::Chip* current = chips.isEmpty() ? nullptr : chips.constLast();
    const bool currentGaveWay = current && current->fontMetrics().horizontalAdvance(current->shownText()) <=
                                               ui::BreadcrumbRow::readableTextWidth(*current);
    for (qsizetype i = 0; current && !currentGaveWay && i + 1 < chips.size(); ++i) {
        if (chips.at(i)->shownText() != chips.at(i)->text())
            faults.append(chips.at(i)->text().left(30) +
                          QStringLiteral(": cut before the current folder gave way"));
    }
    return faults;
}

// Hovers over the rows in view and returns what is wrong with their tips: a row whose name is drawn
// cut short must show the whole name as a plain tip; a row drawn whole (the first, hovered before
// any tip shows) none. `elided` counts the rows drawn cut short.
QStringList listTipFaults(QListView& list, int* elided)
{
    QStringList faults;
    *elided = 0;
    QToolTip::hideText();
    if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000))
        return {QStringLiteral("a tip from before stays")};
    QList<std::pair<QPoint, QString>> cut;
    bool wholeChecked = false;
    for (int row = 0; row < list.model()->rowCount(); ++row) {
        const QModelIndex index = list.model()->index(row, 0);
        const QRect rect = list.visualRect(index);
        if (!list.viewport()->rect().contains(rect))
            continue;
        const QString name = index.data(Qt::DisplayRole).toString();
        const ui::DirectoryRowLayout layout = ui::DirectoryRowLayout::compute(rect, index, list.font());
        if (layout.elidedName != name) {
            cut.append({layout.name.center(), name});
            continue;
        }
        if (wholeChecked)
            continue;
        wholeChecked = true;
        QHelpEvent hover(QEvent::ToolTip, layout.name.center(),
                         list.viewport()->mapToGlobal(layout.name.center()));
        QApplication::sendEvent(list.viewport(), &hover);
        if (QToolTip::isVisible())
            faults.append(name + QStringLiteral(": drawn whole, yet a tip"));
    }
    for (const auto& [at, name] : cut) {
        QHelpEvent hover(QEvent::ToolTip, at, list.viewport()->mapToGlobal(at));
        QApplication::sendEvent(list.viewport(), &hover);
        if (!QToolTip::isVisible() || QToolTip::text() != ui::plainToolTip(name))
            faults.append(name.left(40) + QStringLiteral(": tip \"%1\"").arg(QToolTip::text().left(60)));
    }
    *elided = int(cut.size());
    if (!wholeChecked)
        faults.append(QStringLiteral("no row drawn whole in view"));
    return faults;
}

// The titles and storage-card lines drawn shortened (each as "name: text as drawn"), all but the
// current directory's path, which gives up its middle by design; a shortened one without its whole
// text as its tip is named in `tipFaults`.
QStringList shortenedTitles(const QWidget& window, QStringList* tipFaults)
{
    QStringList shortened;
    for (const ui::ElidedLabel* label : window.findChildren<ui::ElidedLabel*>()) {
        const QString name = label->objectName();
        const bool title = name.endsWith(QStringLiteral("Title"));
        const bool cardLine =
            name.startsWith(QStringLiteral("card")) &&
            !(name == QStringLiteral("cardSubtitle") && label->elideMode() == Qt::ElideMiddle);
        if (!label->isVisible() || !(title || cardLine) || !label->isElided())
            continue;
        if (label->toolTip() != ui::plainToolTip(label->text()))
            tipFaults->append(name + QStringLiteral(": ") + label->text());
        shortened.append(name + QStringLiteral(": ") + label->shownText());
    }
    return shortened;
}

} // namespace

// The window at its least size, at the least a small laptop leaves and at a common default, in
// each language with and without presentation privacy, with Smart Migration on and in a folder
// with a long name: nothing wider than its place, and the directory list in view.
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
        QFETCH(FitState, state);
        QFETCH(UILanguage, language);
        QFETCH(bool, privacy);
        QFETCH(int, leastRows);
        FitWindow fit(size, [&](AppConfig& config) {
            config.uiLanguage = language;
            config.presentationPrivacyEnabled = privacy;
            // As it was left on at the last start.
            config.smartMigrationEnabled = state == FitState::smart;
        });
        QVERIFY(fit.start());
        QVERIFY(fit.enter(state));
        QCOMPARE(fit.w->window->size(), size);
        QVERIFY(fit.saveAs(QStringLiteral("fit-") + QTest::currentDataTag()));

        QScrollArea* column = fit.column();
        QListView* list = fit.list();
        QVERIFY(column && list);
        QVERIFY(list->model()->rowCount() >= (state == FitState::longFolder ? 13 : 40));
        // Elements and the least rows fit: the groups above the list have nothing to scroll.
        QCOMPARE(column->verticalScrollBar()->maximum(), 0);
        const int rows = wholeRowsInView(*list);
        qInfo("%s: %d list rows in view", QTest::currentDataTag(), rows);
        const QStringList faults = windowWidthFaults(*fit.w->window);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        QVERIFY2(rows >= leastRows, qPrintable(QStringLiteral("%1 rows in view").arg(rows)));
        // No title is shortened at the size the window opens with; at the least sizes one that is
        // carries its whole text as its tip.
        QStringList titlesWithoutTip;
        const QStringList shortened = shortenedTitles(*fit.w->window, &titlesWithoutTip);
        QVERIFY2(titlesWithoutTip.isEmpty(), qPrintable(titlesWithoutTip.join(QLatin1Char('\n'))));
        if (size == QSize(1480, 940))
            QVERIFY2(shortened.isEmpty(), qPrintable(shortened.join(QLatin1Char('\n'))));

        if (state == FitState::smart) {
            auto* group = fit.w->window->findChild<QWidget*>(QStringLiteral("migrationListGroup"));
            QVERIFY(group && group->isVisible());
        }
        if (state == FitState::longFolder) {
            auto* crumbs = fit.w->window->findChild<ui::BreadcrumbRow*>(QStringLiteral("breadcrumbs"));
            QVERIFY(crumbs && crumbs->chips().size() >= 2);
            // The current folder's name is too long for any column: cut short, whole in its tip.
            QVERIFY(crumbs->chips().constLast()->shownText() != crumbs->chips().constLast()->text());
            const QStringList chipFaults = breadcrumbFaults(*crumbs);
            QVERIFY2(chipFaults.isEmpty(), qPrintable(chipFaults.join(QLatin1Char('\n'))));
            int elided = 0;
            const QStringList tipFaults = listTipFaults(*list, &elided);
            QVERIFY2(tipFaults.isEmpty(), qPrintable(tipFaults.join(QLatin1Char('\n'))));
            QVERIFY2(elided >= 2, qPrintable(QStringLiteral("%1 rows drawn cut short").arg(elided)));
        }
    }

    // In a folder with a 200-character name the current name gives way first, in its middle: on a
    // wide window every parent shows whole; on the least one the rules of the row still hold.
    void longCurrentNameGivesWayFirst_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<bool>("everyParentWhole");
        QTest::newRow("1920x1050-en") << QSize(1920, 1050) << UILanguage::english << true;
        QTest::newRow("1920x1050-both") << QSize(1920, 1050) << UILanguage::bilingual << true;
        QTest::newRow("1200x760-both") << QSize(1200, 760) << UILanguage::bilingual << false;
    }

    void longCurrentNameGivesWayFirst()
    {
        QFETCH(QSize, size);
        QFETCH(UILanguage, language);
        QFETCH(bool, everyParentWhole);
        FitWindow fit(size, [&](AppConfig& config) { config.uiLanguage = language; });
        QVERIFY(fit.start());
        QVERIFY(fit.enter(FitState::longFolder));
        QVERIFY(fit.saveAs(QStringLiteral("fit-long-crumbs-") + QTest::currentDataTag()));
        auto* crumbs = fit.w->window->findChild<ui::BreadcrumbRow*>(QStringLiteral("breadcrumbs"));
        QVERIFY(crumbs && crumbs->chips().size() >= 3);
        const ui::Chip* current = crumbs->chips().constLast();
        QCOMPARE(current->text(), longFolderName());
        QVERIFY(current->shownText() != current->text());
        // Its middle goes: the start and the end of the name stay.
        QVERIFY2(current->shownText().startsWith(longFolderName().left(4)) &&
                     current->shownText().endsWith(longFolderName().right(2)),
                 qPrintable(current->shownText()));
        const QStringList faults = breadcrumbFaults(*crumbs);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        if (!everyParentWhole)
            return;
        for (qsizetype i = 0; i + 1 < crumbs->chips().size(); ++i) {
            const ui::Chip* parent = crumbs->chips().at(i);
            QVERIFY2(parent->isVisible() && parent->shownText() == parent->text(),
                     qPrintable(parent->shownText()));
        }
    }

    // Unfolded, the suggestion row shows its scroll bar while its cards are wider than the
    // column, and no text of a card wholly in view is cut; the groups above the list give way, so
    // the status line at the bottom stays in view and the list keeps three whole rows.
    void unfoldedSuggestionsShowTheyScroll_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<bool>("privacy");
        for (const QSize size : {QSize(1200, 760), QSize(1366, 698)}) {
            for (const FitSetting& setting : fitSettings())
                QTest::newRow(qPrintable(sizeTag(size) + QLatin1Char('-') + setting.tag))
                    << size << setting.language << setting.privacy;
        }
    }

    void unfoldedSuggestionsShowTheyScroll()
    {
        QFETCH(QSize, size);
        QFETCH(UILanguage, language);
        QFETCH(bool, privacy);
        FitWindow fit(size, [&](AppConfig& config) {
            config.uiLanguage = language;
            config.presentationPrivacyEnabled = privacy;
            config.smartMigrationEnabled = true;
            config.smartMigrationProfile = SmartMigrationProfile::other;
            // The hidden-files tip takes a line of its own as well.
            config.showHiddenFiles = false;
        });
        for (const char* name : {"Downloads", "Movies", "Pictures", "Documents", "Music"})
            fit.fx.tree.fileOfSize(QString::fromLatin1(name) + QStringLiteral("/big.bin"), 1 << 20);
        QVERIFY(fit.start());
        QVERIFY(unfoldSuggestions(*fit.w->window));
        QVERIFY(fit.saveAs(QStringLiteral("fit-smart-unfolded-") + QTest::currentDataTag()));
        auto* row = fit.w->window->findChild<QScrollArea*>(QStringLiteral("suggestionScroll"));
        QVERIFY(row && row->isVisible());
        QList<QWidget*> cards;
        for (QWidget* card : row->findChildren<QWidget*>(QStringLiteral("suggestionCard")))
            if (card->isVisible())
                cards.append(card);
        QVERIFY(cards.size() >= 3);
        int cardsWidth = 0;
        for (QWidget* card : cards)
            cardsWidth = std::max(cardsWidth, card->geometry().right() + 1);
        QVERIFY(cardsWidth > row->viewport()->width());
        QVERIFY2(row->horizontalScrollBar()->isVisible(), "the row scrolls without showing it");
        QVERIFY(row->horizontalScrollBar()->maximum() > 0);
        int whole = 0;
        for (QWidget* card : cards) {
            const QRect shown(card->mapTo(row->viewport(), QPoint(0, 0)), card->size());
            if (!row->viewport()->rect().contains(shown))
                continue;
            ++whole;
            const QStringList faults = widthFaults(*card);
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        }
        QVERIFY(whole >= 1);
        const QStringList faults = windowWidthFaults(*fit.w->window);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));

        QWidget& window = *fit.w->window;
        const auto* status = window.findChild<QWidget*>(QStringLiteral("infoText"));
        QVERIFY(status && status->isVisible());
        const QRect statusShown(status->mapTo(&window, QPoint(0, 0)), status->size());
        QVERIFY2(window.rect().contains(statusShown) &&
                     status->visibleRegion().boundingRect() == status->rect(),
                 "the status line is out of view");
        const int rows = wholeRowsInView(*fit.list());
        QVERIFY2(rows >= 3, qPrintable(QStringLiteral("%1 whole rows in view").arg(rows)));
    }
    // The least size never asks for more than the screen's available area less the frame; the
    // window opens at its roomy size where that fits, else at what the screen leaves.
    void leastSizeWithinTheScreen_data()
    {
        QTest::addColumn<QSize>("available");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<QSize>("least");
        QTest::addColumn<QSize>("first");
        QTest::newRow("large screen")
            << QSize(1920, 1050) << QMargins(1, 37, 1, 1) << QSize(1200, 760) << QSize(1480, 940);
        QTest::newRow("1366x768 laptop")
            << QSize(1366, 736) << QMargins(0, 38, 0, 0) << QSize(1200, 698) << QSize(1366, 698);
        QTest::newRow("small screen")
            << QSize(1024, 600) << QMargins(2, 30, 2, 2) << QSize(1020, 568) << QSize(1020, 568);
        QTest::newRow("screen unknown") << QSize() << QMargins() << QSize(1200, 760) << QSize(1480, 940);
    }

    void leastSizeWithinTheScreen()
    {
        QFETCH(QSize, available);
        QFETCH(QMargins, frame);
        QFETCH(QSize, least);
        QFETCH(QSize, first);
        QCOMPARE(ui::leastContentSize(QSize(1200, 760), available, frame), least);
        QCOMPARE(ui::firstContentSize(QSize(1480, 940), least, available, frame), first);
    }

    // The window on the test's screen (smaller than the least size) asks for no more than it.
    void windowOpensWithinItsScreen()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        ui::MainWindow window(*vm, withoutStartup(), std::make_unique<ScriptedPromptSurface>());
        QVERIFY(window.screen());
        const QSize available = window.screen()->availableGeometry().size();
        if (available.width() >= 1200 && available.height() >= 760)
            QSKIP("the screen of this test run has room for the least size");
        const QSize least = window.minimumSizeHint().expandedTo(window.minimumSize());
        QVERIFY(least.width() <= available.width() && least.height() <= available.height());
        QVERIFY(window.width() <= available.width() && window.height() <= available.height());
        QVERIFY(window.width() >= least.width() && window.height() >= least.height());
        // Shown, the window system tells the true frame: the least size is what it leaves.
        window.setAttribute(Qt::WA_DontShowOnScreen);
        window.show();
        QTRY_VERIFY(!window.windowHandle()->frameMargins().isNull());
        QTRY_COMPARE(
            window.dashboard().minimumSize(),
            ui::leastContentSize(QSize(1200, 760), available, window.windowHandle()->frameMargins()));
    }

    // On the laptop's screen the dock that opens for an undo started from the undo row, with the
    // column scrolled down to the history, leaves that row whole in view.
    void theDockLeavesTheUndoButtonsInView_data() { addLanguageRows(); }
    void theDockLeavesTheUndoButtonsInView()
    {
        QFETCH(UILanguage, language);
        UndoWindow u(QSize(1366, 698), 6, language);
        QVERIFY(u.open());
        QCOMPARE(u.window().size(), QSize(1366, 698));
        auto* column = u.find<QScrollArea>("detailScroll");
        column->verticalScrollBar()->setValue(column->verticalScrollBar()->maximum());
        settleWindow(u.window());
        const char* undoRow[] = {"undoModeToggle", "undoSelectedButton", "undoLastButton",
                                 "migratedItemsToggle"};
        for (const char* name : undoRow)
            QVERIFY2(wholeInView(u.find<QWidget>(name)), name);
        auto* undoLast = u.find<QPushButton>("undoLastButton");
        QVERIFY(movePointerTo(undoLast));
        settleWindow(u.window());

        u.runUndo(u.context().history().undoHistory().first());
        QVERIFY(u.fit.w->viewState().showProgressPanel());
        QVERIFY(u.find<QWidget>("activityBody")->isVisible());
        QVERIFY(u.fit.saveAs(QStringLiteral("dock-undo-1366x698-") + QTest::currentDataTag()));
        for (const char* name : undoRow)
            QVERIFY2(wholeInView(u.find<QWidget>(name)), name);
    }

    // On the laptop's screen, after a batch in which an item failed, the dock shows that item's
    // record (its reason and its remedies), not only the heading above it.
    void theDockShowsTheFailedItem_data() { addLanguageRows(); }
    void theDockShowsTheFailedItem()
    {
        QFETCH(UILanguage, language);
        FitWindow fit(QSize(1366, 698), language);
        QVERIFY(fit.start());
        ViewModelContext& context = ViewModelInternals::context(*fit.vm);
        ActivityState& activity = context.activity();
        const QStringList sources{fit.fx.tree.path(QStringLiteral("Folder 01")),
                                  fit.fx.tree.path(QStringLiteral("Folder 02")),
                                  fit.fx.tree.path(QStringLiteral("Folder 04"))};
        activity.setCurrentOperationTitle({"迁移 3 个项目", "Migrating 3 items"});
        activity.setMigrationTotalItems(3);
        activity.setMigrationTotalBytes(3 * 4096);
        activity.setDiskWork(DiskWork::migration);
        settleWindow(*fit.w->window);
        context.history().setRecentMigrations({successRecord(sources.at(0)), successRecord(sources.at(1))});
        context.history().setRecentFailedMigrations({failedRecord(sources.at(2))});
        activity.setMigrationProcessedItems(3);
        activity.setMigrationSucceededItems(2);
        activity.setMigrationFailedItems(1);
        activity.setMigrationProcessedBytes(3 * 4096);
        activity.setDiskWork(DiskWork::none);
        settleWindow(*fit.w->window);
        QVERIFY(fit.w->viewState().showProgressPanel());
        QVERIFY(fit.saveAs(QStringLiteral("dock-failure-1366x698-") + QTest::currentDataTag()));
        auto* failures = fit.w->window->findChild<QWidget*>(QStringLiteral("failedRecordsSectionScroll"));
        QVERIFY(failures);
        QVERIFY2(wholeInView(failures), "the failed item's record is out of the dock's view");
        // The record whole in its list, its remedies too, not cut by the list's own edge.
        auto* failureList = qobject_cast<QAbstractItemView*>(failures);
        QVERIFY(failureList);
        // (A row's rectangle holds the gap below it, which the list leaves out of its height.)
        const QRect record = failureList->visualRect(failureList->model()->index(0, 0))
                                 .adjusted(0, 0, 0, -ui::RecordRowDelegate::rowGap);
        QVERIFY2(record.top() >= 0 && record.bottom() < failureList->height(),
                 qPrintable(QStringLiteral("a record %1 px tall in a list %2 px tall")
                                .arg(record.height())
                                .arg(failureList->height())));

        // Scrolled back to the progress by the user, the body stays there when the dock refreshes.
        auto* body = fit.w->window->findChild<QScrollArea*>(QStringLiteral("activityBodyScroll"));
        QVERIFY(body && body->verticalScrollBar()->value() > 0);
        body->verticalScrollBar()->setValue(0);
        settleWindow(*fit.w->window);
        activity.setMigrationProcessedBytes(3 * 4096 - 1);
        fit.vm->settings().setLanguage(language == UILanguage::english ? UILanguage::chinese
                                                                       : UILanguage::english);
        settleWindow(*fit.w->window);
        QCOMPARE(body->verticalScrollBar()->value(), 0);
    }

    // With everything shown at once nothing is wider than its place either; the list may then
    // need the column to scroll.
    void everythingShownFits_data() { addSizeRows(); }

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
        QVERIFY(unfoldSuggestions(*fit.w->window));
        showEverything(*fit.vm, fit.w->viewState(), fit.fx.tree);
        ui::settleLayouts(*fit.w->window);
        QVERIFY(fit.saveAs(QStringLiteral("fit-all-") + QTest::currentDataTag()));
        const QStringList faults = windowWidthFaults(*fit.w->window);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        ViewModelInternals::context(*fit.vm).activity().setDiskWork(DiskWork::none);
    }

    // With the suggestions unfolded, the short window's column scrolls; the wheel over the list still
    // moves only the list, also once the list is at its end.
    void wheelOverTheListScrollsOnlyTheList()
    {
        FitWindow fit(QSize(1200, 760), [](AppConfig& config) {
            config.uiLanguage = UILanguage::bilingual;
            config.smartMigrationEnabled = true;
            config.showHiddenFiles = false;
        });
        QVERIFY(fit.start());
        QVERIFY(unfoldSuggestions(*fit.w->window));
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

int main(int argc, char** argv)
{
    useLaptopScreen(ORVALINK_LAPTOP_SCREEN);
    QApplication app(argc, argv);
    WindowFitTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_windowfit.moc"
