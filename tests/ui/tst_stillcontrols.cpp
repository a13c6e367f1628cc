// What the user points at stays where it is: the Activity Dock opening and closing by itself, an
// undo that shortens the history, "Show Migrated Items" and the listing read again after a
// migration move nothing under the pointer, on a laptop's screen and on a desktop's.
#include "FitWindow.h"
#include "LayoutCheck.h"
#include "LongAnswers.h"
#include "UiTestSupport.h"
#include "UndoWindow.h"
#include "WorkflowFixture.h"
#include "platform/PlatformError.h"
#include "support/SkipWithout.h"
#include "support/WorkerGate.h"
#include "ui/models/DirectoryListModel.h"
#include "ui/views/dashboard/MainDashboardView.h"
#include "ui/widgets/ElidedLabel.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/disk/UndoTriage.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

namespace {

// The row in the middle of the list's view (the gaps between rows belong to none).
QModelIndex middleRow(const QListView* list)
{
    const int middle = list->viewport()->height() / 2;
    for (int y = middle; y < middle + 12; ++y) {
        const QModelIndex index = list->indexAt(QPoint(12, y));
        if (index.isValid())
            return index;
    }
    return {};
}

QPoint screenPosition(const QWidget* widget)
{
    return widget->mapToGlobal(QPoint(0, 0));
}

// Scrolls `column` so that the middle of `control` lies where the dock's lower edge comes when it
// opens: the column's view began at `openTop` on the screen while the dock was open.
void scrollUnderTheDocksEdge(QScrollArea* column, const QWidget* control, int openTop)
{
    column->verticalScrollBar()->setValue(control->mapTo(column->widget(), QPoint(0, 0)).y() - openTop +
                                          screenPosition(column->viewport()).y() + control->height() / 2);
}

// The folder list's rows as they read: name, size and whether the row shows a migrated link.
QStringList listedRows(const QAbstractItemModel& model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex index = model.index(row, 0);
        rows.append(index.data().toString() + QLatin1Char('|') +
                    index.data(ui::DirectoryListModel::SizeTextRole).toString() +
                    (index.data(ui::DirectoryListModel::IsMigratedRole).toBool() ? QStringLiteral("|link")
                                                                                 : QString()));
    }
    return rows;
}

} // namespace

class StillControlsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        prepareWidgetTests();
        if (const auto missing = missingPinnedFonts())
            QSKIP(qPrintable(*missing));
    }

    void sizes_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("1366x768") << QSize(1366, 768);
        QTest::newRow("1920x1080") << QSize(1920, 1080);
    }

    // An undo from "Undo Last Move" opens the dock above the column and closes it by itself once
    // done: the button, under the pointer all along, never moves. Another folder opened then leaves
    // the dock closed, its header saying the work finished and no collapse to come.
    void theDockMovesNothingUnderThePointer_data() { sizes_data(); }
    void theDockMovesNothingUnderThePointer()
    {
        QFETCH(QSize, size);
        UndoWindow u(size);
        QVERIFY(u.open());
        QCOMPARE(u.window().size(), size);
        auto* undoLast = u.find<QPushButton>("undoLastButton");
        QVERIFY(undoLast && undoLast->isVisible());
        u.find<QScrollArea>("detailScroll")->ensureWidgetVisible(undoLast);
        settleWindow(u.window());
        QVERIFY(
            u.window().rect().contains(QRect(undoLast->mapTo(&u.window(), QPoint(0, 0)), undoLast->size())));
        QVERIFY(movePointerTo(undoLast));
        settleWindow(u.window());
        const QPoint before = screenPosition(undoLast);
        const QRect whole = undoLast->visibleRegion().boundingRect();

        u.runUndo(u.context().history().undoHistory().first());
        QVERIFY(u.fit.w->viewState().showProgressPanel());
        QCOMPARE(screenPosition(undoLast), before);
        QVERIFY(!saveScreen(u.window().grab().toImage(),
                            QStringLiteral("still-dock-open-%1x%2").arg(size.width()).arg(size.height()))
                     .isEmpty());
        QTRY_VERIFY(!u.fit.w->viewState().showProgressPanel());
        settleWindow(u.window());
        QCOMPARE(screenPosition(undoLast), before);
        QCOMPARE(undoLast->visibleRegion().boundingRect(), whole);

        u.fit.vm->navigation().navigate(u.fit.fx.tree.path(QStringLiteral("Folder 01")), true);
        QVERIFY(waitUntilIdle(*u.fit.vm));
        settleWindow(u.window());
        QVERIFY(!u.fit.w->viewState().showProgressPanel());
        QCOMPARE(screenPosition(undoLast), before);
        QCOMPARE(u.find<QLabel>("activityBadge")->text(), "已完成 Finished");
        QCOMPARE(u.find<QLabel>("activitySummary")->text(),
                 "最近操作已完成。 The latest operation finished.");
    }

    // An undo that left copies on the volume holds the dock open. Opened again by the user over a
    // column scrolled so that "Undo Last Move" meets the dock's lower edge, it leaves no control cut
    // across under it: while the pointer rests on the history below, the history stays put; once
    // the pointer moves on, the button shows whole below the dock. Closed, the column stays as it is.
    void aDockHeldOpenCoversNoControl_data() { addSizeAndLanguageRows(); }
    void aDockHeldOpenCoversNoControl()
    {
        QFETCH(QSize, size);
        QFETCH(UILanguage, language);
        UndoWindow u(size, 6, language);
        QVERIFY(u.open());
        auto* column = u.find<QScrollArea>("detailScroll");
        auto* toggle = u.find<QPushButton>("activityToggle");
        auto* undoLast = u.find<QWidget>("undoLastButton");
        auto* history = u.find<QWidget>("migrationHistoryList");
        u.runUndo(u.context().history().undoHistory().first(), 2);
        const int openTop = screenPosition(column->viewport()).y();
        toggle->click();
        settleWindow(u.window());
        scrollUnderTheDocksEdge(column, undoLast, openTop);
        settleWindow(u.window());
        QVERIFY(movePointerTo(history));
        const QPoint before = screenPosition(history);
        toggle->click();
        settleWindow(u.window());
        QCOMPARE(screenPosition(history), before);

        QVERIFY(movePointerTo(u.find<QWidget>("directoryList")));
        settleWindow(u.window());
        QVERIFY(!saveScreen(u.window().grab().toImage(),
                            QStringLiteral("still-held-dock-") + QTest::currentDataTag())
                     .isEmpty());
        const QStringList covered = controlsUnder(u.window(), *u.find<QWidget>("activityWorkspace"));
        QVERIFY2(covered.isEmpty(), qPrintable(covered.join(QLatin1Char('\n'))));
        QCOMPARE(undoLast->visibleRegion().boundingRect(), undoLast->rect());
        const QPoint place = screenPosition(undoLast);
        toggle->click();
        settleWindow(u.window());
        QCOMPARE(screenPosition(undoLast), place);
    }

    // A long answer holds the dock open: a migration taken back after its copy, naming where the
    // version it replaced was kept, or the start's record of an older version it kept. Opened again
    // by the user over a column scrolled so that the undo row meets its lower edge, the dock cuts no
    // control across under it, in the language it opened in and after each change of language,
    // which gives its texts (and those above the undo row) another length.
    void aLongAnswerCoversNoControl_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<bool>("start");
        const std::pair<const char*, UILanguage> languages[] = {
            {"zh", UILanguage::chinese}, {"en", UILanguage::english}, {"both", UILanguage::bilingual}};
        for (const QSize size : {QSize(1366, 768), QSize(1920, 1080)}) {
            for (const auto& [tag, language] : languages) {
                for (const bool start : {false, true})
                    QTest::addRow("%dx%d-%s-%s", size.width(), size.height(), tag,
                                  start ? "start" : "take-back")
                        << size << language << start;
            }
        }
    }
    void aLongAnswerCoversNoControl()
    {
        QFETCH(QSize, size);
        QFETCH(UILanguage, language);
        QFETCH(bool, start);
        UndoWindow u(size, 6, language);
        QVERIFY(u.open());
        auto* column = u.find<QScrollArea>("detailScroll");
        auto* toggle = u.find<QPushButton>("activityToggle");
        auto* undoLast = u.find<QWidget>("undoLastButton");
        const QString source = u.fit.fx.tree.path(QStringLiteral("Notes"));
        (start ? beginStartRecovery : beginTakeBack)(u.context(), source);
        settleWindow(u.window());
        (start ? endStartRecovery : endTakeBack)(u.context(), source);
        settleWindow(u.window());
        QVERIFY(u.fit.w->viewState().showProgressPanel());
        const int openTop = screenPosition(column->viewport()).y();
        toggle->click();
        settleWindow(u.window());
        scrollUnderTheDocksEdge(column, undoLast, openTop);
        settleWindow(u.window());
        QVERIFY(movePointerTo(u.find<QWidget>("directoryList")));
        toggle->click();
        settleWindow(u.window());
        QVERIFY(!saveScreen(u.window().grab().toImage(),
                            QStringLiteral("still-long-answer-") + QTest::currentDataTag())
                     .isEmpty());
        const auto coversNothing = [&u](const QString& when) {
            const QStringList under = controlsUnder(u.window(), *u.find<QWidget>("activityWorkspace"));
            return under.isEmpty() ? QString() : when + QStringLiteral(": ") + under.join(QLatin1Char('\n'));
        };
        QString fault = coversNothing(QStringLiteral("opened"));
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        for (const UILanguage other : {UILanguage::chinese, UILanguage::english, UILanguage::bilingual}) {
            u.fit.vm->settings().setLanguage(other);
            settleWindow(u.window());
            fault = coversNothing(QStringLiteral("in language %1").arg(int(other)));
            QVERIFY2(fault.isEmpty(), qPrintable(fault));
        }
        // The same run again: the dock changes its height as the step comes and goes.
        (start ? beginStartRecovery : beginTakeBack)(u.context(), source);
        settleWindow(u.window());
        fault = coversNothing(QStringLiteral("while it runs again"));
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        (start ? endStartRecovery : endTakeBack)(u.context(), source);
        settleWindow(u.window());
        fault = coversNothing(QStringLiteral("once it ended again"));
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    // While the pointer rests on the dock, its timed collapse waits, so a click on "Collapse" meets
    // the button it aimed at; away from the dock, the dock closes by itself.
    void theDockWaitsWhileThePointerRestsOnIt()
    {
        UndoWindow u(QSize(1920, 1080));
        QVERIFY(u.open());
        auto* toggle = u.find<QPushButton>("activityToggle");
        u.runUndo(u.context().history().undoHistory().first());
        QVERIFY(u.fit.w->viewState().showProgressPanel());
        QVERIFY(movePointerTo(toggle));
        const QString collapse = toggle->text();
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY(clock.elapsed() > 3 * u.collapseInterval.count());
        QVERIFY(u.fit.w->viewState().showProgressPanel());
        QCOMPARE(toggle->text(), collapse);
        QTest::mouseClick(toggle, Qt::LeftButton);
        settleWindow(u.window());
        QVERIFY(!u.fit.w->viewState().showProgressPanel());

        // Opened again by the user's own click, then left: it stays as the user set it.
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(u.fit.w->viewState().showProgressPanel());
        u.runUndo(u.context().history().undoHistory().first());
        QVERIFY(movePointerTo(u.find<QWidget>("directoryList")));
        QTRY_VERIFY(!u.fit.w->viewState().showProgressPanel());
    }

    // A history scrolled down its list keeps its place after an undo of a record in view.
    void theHistoryKeepsItsPlaceAfterAnUndo_data() { sizes_data(); }
    void theHistoryKeepsItsPlaceAfterAnUndo()
    {
        QFETCH(QSize, size);
        UndoWindow u(size, 60);
        QVERIFY(u.open());
        auto* list = u.find<QListView>("migrationHistoryList");
        QVERIFY(list && list->isVisible());
        QScrollBar* bar = list->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        bar->setValue(bar->maximum() / 2);
        settleWindow(u.window());
        const QModelIndex shown = middleRow(list);
        QVERIFY(shown.isValid());
        const QString name = shown.data().toString();
        const int top = list->visualRect(shown).top();
        u.bringIntoView(list);
        QVERIFY(movePointerTo(list));
        const QPoint before = screenPosition(list);

        // A record above the one in view is undone: the records in view stay where they were, but
        // for the row that left above them.
        const int rowHeight = list->visualRect(shown).height() + 6;
        u.runUndo(u.context().history().undoHistory().at(shown.row() - 2));
        QCOMPARE(screenPosition(list), before);
        const QModelIndex again =
            list->model()
                ->match(list->model()->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly)
                .value(0);
        QVERIFY(again.isValid());
        const int moved = list->visualRect(again).top() - top;
        QVERIFY2(moved == 0 || moved == -rowHeight, qPrintable(QString::number(moved)));
        QVERIFY(bar->value() > 0);
    }

    // Choosing another sort, file type or list in a menu moves none of the controls beside it, in
    // any language.
    void menusMoveNothingBesideThem_data() { addSizeAndLanguageRows(); }
    void menusMoveNothingBesideThem()
    {
        QFETCH(QSize, size);
        QFETCH(UILanguage, language);
        FitWindow fit(size, [language](AppConfig& config) {
            config.uiLanguage = language;
            config.smartMigrationEnabled = true;
        });
        QVERIFY(fit.start());
        QWidget& window = *fit.w->window;
        const QStringList controls{
            QStringLiteral("sortPicker"),           QStringLiteral("fileTypePicker"),
            QStringLiteral("visibilityPicker"),     QStringLiteral("migrationListPicker"),
            QStringLiteral("smartMigrationSwitch"), QStringLiteral("linkModeSwitch")};
        const auto places = [&window, &controls] {
            QList<QRect> rects;
            for (const QString& name : controls) {
                const QWidget* control = window.findChild<QWidget*>(name);
                rects.append(control ? QRect(control->mapTo(&window, QPoint(0, 0)), control->size())
                                     : QRect());
            }
            return rects;
        };
        const QList<QRect> before = places();
        for (const char* name : {"sortPicker", "fileTypePicker", "migrationListPicker"}) {
            auto* menu = window.findChild<QComboBox*>(QString::fromLatin1(name));
            QVERIFY(menu && menu->isEnabled() && menu->count() > 1);
            // Each option in turn, as the arrow keys choose them, and back to the first.
            menu->setFocus(Qt::TabFocusReason);
            for (int option = 1; option <= menu->count(); ++option) {
                QTest::keyClick(menu, option < menu->count() ? Qt::Key_Down : Qt::Key_Home);
                QVERIFY(waitUntilIdle(*fit.vm));
                settleWindow(window);
                const QList<QRect> after = places();
                for (qsizetype i = 0; i < controls.size(); ++i)
                    QVERIFY2(after.at(i) == before.at(i),
                             qPrintable(QStringLiteral("%1 moved choosing \"%2\" in %3")
                                            .arg(controls.at(i), menu->currentText(), QLatin1String(name))));
            }
        }
    }

    // Typing a search keeps the field's width while the count beside it changes, from 41 matches
    // down to none and back.
    void theSearchFieldKeepsItsWidth_data() { menusMoveNothingBesideThem_data(); }
    void theSearchFieldKeepsItsWidth()
    {
        QFETCH(QSize, size);
        QFETCH(UILanguage, language);
        FitWindow fit(size, language);
        QVERIFY(fit.start());
        QWidget& window = *fit.w->window;
        auto* field = window.findChild<QLineEdit*>(QStringLiteral("searchField"));
        auto* count = window.findChild<QLabel*>(QStringLiteral("matchCount"));
        QVERIFY(field && count);
        const auto place = [&window, field] {
            return QRect(field->mapTo(&window, QPoint(0, 0)), field->size());
        };
        const QRect before = place();
        field->setFocus(Qt::MouseFocusReason);
        QStringList counts{count->text()};
        // What moved with the text typed so far; empty when nothing did.
        const auto moved = [&]() -> QString {
            if (!waitUntilIdle(*fit.vm))
                return QStringLiteral("the listing never settled");
            settleWindow(window);
            counts.append(count->text());
            return place() == before
                       ? QString()
                       : QStringLiteral("with \"%1\" typed: %2").arg(field->text(), count->text());
        };
        // Last a letter no path under the home spells, which nothing matches.
        const QString typing = QStringLiteral("Folder 27") + ideographMissingFrom(fit.fx.home.home());
        for (const QChar typed : typing) {
            if (typed.unicode() < 0x80)
                QTest::keyClick(field, typed.toLatin1());
            else
                commitTyped(field, typed);
            const QString fault = moved();
            QVERIFY2(fault.isEmpty(), qPrintable(fault));
        }
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(field, Qt::Key_Backspace);
            const QString fault = moved();
            QVERIFY2(fault.isEmpty(), qPrintable(fault));
        }
        // The count went through one, two and no digits.
        QVERIFY2(counts.size() > 3 && counts.first() != counts.constLast(),
                 qPrintable(counts.join(QLatin1Char('|'))));
        QVERIFY2(counts.filter(QRegularExpression(QStringLiteral("\\b0\\b"))).size() == 1,
                 qPrintable(counts.join(QLatin1Char('|'))));
    }

    // "Refresh Now" reads a listing of another count, of one, two and three digits: the search
    // field keeps its place and width.
    void theSearchFieldKeepsItsWidthAcrossListings_data() { menusMoveNothingBesideThem_data(); }
    void theSearchFieldKeepsItsWidthAcrossListings()
    {
        QFETCH(QSize, size);
        QFETCH(UILanguage, language);
        FitWindow fit(size, language);
        QVERIFY(fit.start());
        QWidget& window = *fit.w->window;
        auto* field = window.findChild<QLineEdit*>(QStringLiteral("searchField"));
        auto* count = window.findChild<QLabel*>(QStringLiteral("matchCount"));
        auto* rescan = window.findChild<QPushButton*>(QStringLiteral("rescanButton"));
        QVERIFY(field && count && rescan);
        const auto place = [&window, field] {
            return QRect(field->mapTo(&window, QPoint(0, 0)), field->size());
        };
        const QRect before = place();
        const QString tag = QStringLiteral("still-search-count-") + QTest::currentDataTag();
        QVERIFY(!saveScreen(window.grab().toImage(), tag + QStringLiteral("-two-digits")).isEmpty());
        const QString home = fit.fx.home.home();
        const auto rescanned = [&](const char* name) -> QString {
            QTest::mouseClick(rescan, Qt::LeftButton);
            if (!waitUntilIdle(*fit.vm))
                return QStringLiteral("the listing never settled");
            settleWindow(window);
            if (!saveScreen(window.grab().toImage(), tag + QLatin1Char('-') + QLatin1String(name))
                     .isEmpty() &&
                place() == before)
                return {};
            return QStringLiteral("moved with \"%1\"").arg(count->text());
        };

        // Down to the folders of the home less than ten...
        for (const QFileInfo& entry : QDir(home).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot))
            if (!entry.fileName().startsWith(QStringLiteral("Folder 0")))
                QVERIFY(entry.isDir() ? QDir(entry.filePath()).removeRecursively()
                                      : QFile::remove(entry.filePath()));
        QString fault = rescanned("one-digit");
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        QVERIFY2(fit.vm->listing().sortedEntries().size() < 10, qPrintable(count->text()));
        // ...and up to more than a hundred entries.
        for (int i = 0; i < 120; ++i)
            fit.fx.tree.fileOfSize(QStringLiteral("many-%1.dat").arg(i), 100);
        fault = rescanned("three-digits");
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        QVERIFY2(fit.vm->listing().sortedEntries().size() > 100, qPrintable(count->text()));
    }

    // A status message of two lines leaves the folder list as tall as one of one line did.
    void aLongerStatusLeavesTheListsHeight_data() { menusMoveNothingBesideThem_data(); }
    void aLongerStatusLeavesTheListsHeight()
    {
        QFETCH(QSize, size);
        QFETCH(UILanguage, language);
        FitWindow fit(size, language);
        QVERIFY(fit.start());
        QWidget& window = *fit.w->window;
        auto* status = window.findChild<ui::ElidedLabel*>(QStringLiteral("infoText"));
        QVERIFY(status);
        ActivityState& activity = ViewModelInternals::context(*fit.vm).activity();
        const auto listPlace = [&fit, &window] {
            return QRect(fit.list()->mapTo(&window, QPoint(0, 0)), fit.list()->size());
        };
        activity.setInfoMessage(BilingualText("已复制路径。", "Path copied."));
        settleWindow(window);
        QVERIFY(status->isVisible());
        QVERIFY(!status->shownText().contains(QLatin1Char('\n')));
        const QRect oneLine = listPlace();
        QString longer = QStringLiteral("Migration done. Success: 4, failed: 1.");
        while (longer.size() < 260)
            longer += QStringLiteral(" The folder left behind stays where it was until you retry it.");
        activity.setInfoMessage(BilingualText::same(longer));
        settleWindow(window);
        QCOMPARE(status->shownText().count(QLatin1Char('\n')), 1);
        QCOMPARE(listPlace(), oneLine);
        QVERIFY(!saveScreen(window.grab().toImage(),
                            QStringLiteral("still-status-two-lines-") + QTest::currentDataTag())
                     .isEmpty());

        // A message longer than two lines (the answer of an undo stopped by a file it could not read,
        // which asks for administrator rights) reads whole, from the list's room; the list keeps its
        // top.
        const LinkMapping shared = mappingRecord(QStringLiteral("/srv/Shared"));
        const platform::PlatformError unreadable =
            platform::PlatformError::fromErrno(EACCES, shared.targetPath + QStringLiteral("/notes.txt"));
        const UndoNotDone notDone(shared.sourcePath, shared.targetPath,
                                  OrvalinkError::Underlying{unreadable.message(), EACCES, true,
                                                            std::make_exception_ptr(unreadable)});
        activity.setInfoMessage(
            triageUndoFailure(fit.vm->workflows().context(), std::make_exception_ptr(notDone), shared));
        QVERIFY(activity.accessRequirementPrompt());
        settleWindow(window);
        QVERIFY2(!status->isElided(), qPrintable(status->shownText()));
        QVERIFY(status->visibleRegion().boundingRect() == status->rect());
        QCOMPARE(listPlace().topLeft(), oneLine.topLeft());
        QVERIFY(!saveScreen(window.grab().toImage(),
                            QStringLiteral("still-status-whole-") + QTest::currentDataTag())
                     .isEmpty());
    }

    // A migration clears the status line until its summary: the folder list keeps its height
    // before, while and after it runs.
    void theListKeepsItsHeightThroughARun_data() { menusMoveNothingBesideThem_data(); }
    void theListKeepsItsHeightThroughARun()
    {
        QFETCH(QSize, size);
        QFETCH(UILanguage, language);
        WorkflowFixture w(language);
        SKIP_WITHOUT(w);
        w.copyGate = std::make_shared<WorkerGate>();
        for (const char* folder : {"Movies", "Music", "Photos"})
            w.tree.fileOfSize(QLatin1String(folder) + QStringLiteral("/data.bin"), 64 * 1024);
        MainViewModel& vm = w.vm();
        WindowUnderTest win(vm);
        QVERIFY(win.showAndList(size));
        QWidget& window = *win.window;
        settleWindow(window);
        auto* list = window.findChild<QListView*>(QStringLiteral("directoryList"));
        auto* status = window.findChild<QWidget*>(QStringLiteral("infoText"));
        QVERIFY(list && status);
        const auto listPlace = [&window, list] {
            return QRect(list->mapTo(&window, QPoint(0, 0)), list->size());
        };
        QVERIFY(status->isVisible());
        const QRect before = listPlace();

        QVERIFY(startHeldMigration(w, {w.tree.path(QStringLiteral("Music"))}));
        settleWindow(window);
        QVERIFY(vm.activity().isMigrating());
        QVERIFY(!status->isVisible());
        QCOMPARE(listPlace(), before);
        const QString tag =
            QStringLiteral("%1x%2-%3")
                .arg(size.width())
                .arg(size.height())
                .arg(QString::fromLatin1(QTest::currentDataTag()).section(QLatin1Char('-'), 1));
        QVERIFY(
            !saveScreen(window.grab().toImage(), QStringLiteral("still-list-during-run-") + tag).isEmpty());

        w.copyGate->open();
        QTRY_VERIFY(!vm.activity().isMigrating());
        QVERIFY(waitUntilIdle(vm));
        settleWindow(window);
        QVERIFY(status->isVisible());
        QCOMPARE(listPlace(), before);
        QVERIFY(
            !saveScreen(window.grab().toImage(), QStringLiteral("still-list-after-run-") + tag).isEmpty());
    }

    // "Show Migrated Items" opens the panel below the history; the button stays under the pointer.
    void showMigratedItemsStaysUnderThePointer_data() { sizes_data(); }
    void showMigratedItemsStaysUnderThePointer()
    {
        QFETCH(QSize, size);
        UndoWindow u(size);
        QVERIFY(u.open());
        auto* toggle = u.find<QPushButton>("migratedItemsToggle");
        u.bringIntoView(toggle);
        QVERIFY(movePointerTo(toggle));
        const QPoint before = screenPosition(toggle);
        QTest::mouseClick(toggle, Qt::LeftButton);
        settleWindow(u.window());
        QVERIFY(u.fit.w->viewState().showMigratedItemsPanel());
        QVERIFY(u.find<QWidget>("migratedItemsPanel")->isVisible());
        QCOMPARE(screenPosition(toggle), before);
        QVERIFY(!saveScreen(u.window().grab().toImage(),
                            QStringLiteral("still-migrated-shown-%1x%2").arg(size.width()).arg(size.height()))
                     .isEmpty());
        QTest::mouseClick(toggle, Qt::LeftButton);
        settleWindow(u.window());
        QVERIFY(!u.fit.w->viewState().showMigratedItemsPanel());
        QCOMPARE(screenPosition(toggle), before);
    }

    // After a migration the listing is read again: the folder that moved shows as its link, and the
    // other folders keep the sizes they showed, in their order, until their new sizes arrive; the
    // rows above the moved one stay where they were.
    void aMigrationKeepsTheOtherRowsInPlace_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("language");
        QTest::newRow("1366x768 en") << QSize(1366, 768) << "en";
        QTest::newRow("1366x768 bi") << QSize(1366, 768) << "bi";
        QTest::newRow("1920x1080 zh") << QSize(1920, 1080) << "zh";
    }

    void aMigrationKeepsTheOtherRowsInPlace()
    {
        QFETCH(QSize, size);
        QFETCH(QString, language);
        WorkflowFixture w(*uiLanguageFromText(language));
        SKIP_WITHOUT(w);
        const QStringList folders{"Movies", "Music", "Photos", "Projects", "Notes"};
        for (qsizetype i = 0; i < folders.size(); ++i)
            w.tree.fileOfSize(folders.at(i) + QStringLiteral("/data.bin"), (256 >> i) * 1024);
        w.tree.fileOfSize(QStringLiteral("notes.txt"), 1024);
        MainViewModel& vm = w.vm();
        WindowUnderTest win(vm);
        QVERIFY(win.showAndList(size));
        QWidget& window = *win.window;
        settleWindow(window);
        auto* list = window.findChild<QListView*>(QStringLiteral("directoryList"));
        QVERIFY(list);
        const QAbstractItemModel& model = *list->model();
        const QStringList before = listedRows(model);
        QCOMPARE(before.size(), 6);
        QVERIFY2(before.at(2).startsWith(QStringLiteral("Photos|")), qPrintable(before.join(' ')));
        QStringList others = before;
        others.removeAt(2);
        const QRect above = list->visualRect(model.index(1, 0));

        // Every state the list passes through, to its end.
        QList<QStringList> seen;
        const auto note = [&] {
            seen.append(listedRows(model));
        };
        connect(&model, &QAbstractItemModel::modelReset, this, note);
        connect(&model, &QAbstractItemModel::dataChanged, this, note);
        migrate(vm, {w.tree.path(QStringLiteral("Photos"))});
        QVERIFY(waitUntilIdle(vm));
        QTRY_VERIFY(QFileInfo(w.tree.path(QStringLiteral("Photos"))).isSymLink());
        settleWindow(window);
        QVERIFY(!seen.isEmpty());
        for (const QStringList& rows : std::as_const(seen)) {
            QStringList rest = rows;
            rest.removeIf([](const QString& row) { return row.startsWith(QStringLiteral("Photos|")); });
            QCOMPARE(rest, others);
        }
        const QStringList after = listedRows(model);
        QVERIFY2(after.constLast().startsWith(QStringLiteral("Photos|")) &&
                     after.constLast().endsWith(QStringLiteral("|link")),
                 qPrintable(after.join(' ')));
        QCOMPARE(list->visualRect(model.index(1, 0)), above);
        QVERIFY(!saveScreen(window.grab().toImage(), QStringLiteral("still-after-migration-%1x%2-%3")
                                                         .arg(size.width())
                                                         .arg(size.height())
                                                         .arg(language))
                     .isEmpty());
    }
};

int main(int argc, char** argv)
{
    useLaptopScreen(ORVALINK_DESKTOP_SCREEN);
    QApplication app(argc, argv);
    StillControlsTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_stillcontrols.moc"
