// The window driven by the keyboard alone, as a Qt user drives it: Space ticks folders in the list,
// Tab reaches "Migrate", the history's records take the focus and Space marks one, and "Undo
// Selected" undoes that record; real migrations onto a second file system.
#include "FitWindow.h"
#include "UiTestSupport.h"
#include "WindowTestSupport.h"
#include "WorkflowFixture.h"
#include "support/SkipWithout.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/browsing/ShownListing.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/texts/Presentation.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

namespace {

constexpr int kFolders = 14;

// Presses `key` until the focus is on `name` (at most `most` presses); false when it never gets there.
bool pressUntilFocused(int key, const QString& name, int most = 80)
{
    for (int press = 0; press < most; ++press) {
        QWidget* focused = QApplication::focusWidget();
        if (focused && focused->objectName() == name)
            return true;
        if (!focused)
            return false;
        QTest::keyClick(focused, Qt::Key(key), key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    }
    QWidget* focused = QApplication::focusWidget();
    return focused && focused->objectName() == name;
}

// Whether a menu entry's text reads as `line`: whole, or without its middle, and a "&" of the line
// shown as such (not taken for a mnemonic).
bool readsAs(QString entry, const QString& line)
{
    entry.replace(QStringLiteral("&&"), QStringLiteral("&"));
    const qsizetype cut = entry.indexOf(QChar(0x2026));
    if (cut < 0)
        return entry == line;
    return line.startsWith(entry.left(cut)) && line.endsWith(entry.mid(cut + 1)) &&
           entry.size() < line.size();
}

void press(int key)
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
}

} // namespace

class KeyboardFlowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareWidgetTests(); }

    // A first start, no sizes known yet: the list, with the keyboard's focus, focuses its first
    // row, then the sizes arrive and sort that row far down. The focused row stays one wholly in
    // view, and Down moves on from it without scrolling.
    void theFocusedRowStaysInViewWhenSizesSortTheList_data() { addSizeAndLanguageRows(); }
    void theFocusedRowStaysInViewWhenSizesSortTheList()
    {
        QFETCH(QSize, size);
        QFETCH(UILanguage, language);
        FitWindow fit(size, language);
        MainViewModel& vm = *fit.vm;
        // The first row of the first listing, the one the list focuses when it arrives.
        QString firstShown;
        connect(&vm.listing(), &ShownListing::sortedEntriesChanged, this, [&] {
            if (firstShown.isEmpty() && !vm.listing().sortedEntries().isEmpty())
                firstShown = vm.listing().sortedEntries().constFirst().path;
        });
        QWidget& window = *fit.w->window;
        // Active from the start, as a window the user just opened: the list has the keyboard.
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(fit.start());
        settleWindow(window);
        QListView* list = fit.list();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(list));
        const QList<DirectoryEntry>& rows = vm.listing().sortedEntries();
        const auto rowOf = [&rows](const std::optional<QString>& path) {
            for (qsizetype row = 0; path && row < rows.size(); ++row)
                if (rows.at(row).path == *path)
                    return int(row);
            return -1;
        };
        const auto inView = [list](int row) {
            return row >= 0 &&
                   list->viewport()->rect().contains(list->visualRect(list->model()->index(row, 0)));
        };
        // The sizes did sort the first row out of view.
        QVERIFY2(!inView(rowOf(firstShown)), qPrintable(firstShown));
        const int focused = rowOf(vm.browsing().focusedEntryPath());
        QVERIFY2(inView(focused), qPrintable(vm.browsing().focusedEntryPath().value_or(QString())));
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        QVERIFY(
            !saveScreen(window.grab().toImage(), QStringLiteral("keyboard-first-start-") + tag).isEmpty());

        const int scrolled = list->verticalScrollBar()->value();
        press(Qt::Key_Down);
        settleWindow(window);
        QCOMPARE(rowOf(vm.browsing().focusedEntryPath()), focused + 1);
        QCOMPARE(list->verticalScrollBar()->value(), scrolled);
    }

    void migrationAndUndoOfAChosenRecord_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("1366x768") << QSize(1366, 768);
        QTest::newRow("1920x1080") << QSize(1920, 1080);
    }

    void migrationAndUndoOfAChosenRecord()
    {
        QFETCH(QSize, size);
        WorkflowFixture w(UILanguage::english);
        SKIP_WITHOUT(w);
        for (int i = 1; i <= kFolders; ++i)
            w.tree.fileOfSize(QStringLiteral("Folder %1/data.bin").arg(i, 2, 10, QLatin1Char('0')), 4096);
        MainViewModel& vm = w.vm();
        WindowUnderTest win(vm);
        win.window->resize(size);
        QVERIFY(win.showAndStart());
        QVERIFY(waitUntilIdle(vm));
        QWidget& window = *win.window;
        QApplication::setActiveWindow(&window);
        QTRY_VERIFY(window.isActiveWindow());
        settleWindow(window);

        // The folder list, where the keyboard starts: its first row is focused, Down moves the
        // focus, Space ticks the focused row's box.
        auto* list = window.findChild<QListView*>(QStringLiteral("directoryList"));
        QVERIFY(list);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(list));
        for (int i = 0; i < kFolders; ++i) {
            if (i > 0)
                press(Qt::Key_Down);
            press(Qt::Key_Space);
        }
        settleWindow(window);
        QCOMPARE(vm.browsing().selectedPaths().size(), kFolders);
        // Space again unticks the focused one.
        press(Qt::Key_Space);
        QCOMPARE(vm.browsing().selectedPaths().size(), kFolders - 1);
        press(Qt::Key_Space);

        // The keyboard stays on the button that started the run, which the run disables.
        QVERIFY(pressUntilFocused(Qt::Key_Backtab, QStringLiteral("migrateSelectedButton")));
        QWidget* migrate = QApplication::focusWidget();
        press(Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(
            !vm.activity().isDiskWorkBusy() && vm.history().undoHistory().size() == kFolders, 30000);
        QCOMPARE(vm.history().recentFailedMigrations().size(), 0);
        settleWindow(window);
        QVERIFY(!migrate->isEnabled());
        QCOMPARE(QApplication::focusWidget(), migrate);

        // Undo mode, then the history: its records take the focus, the arrows move it, Space marks.
        QVERIFY(pressUntilFocused(Qt::Key_Tab, QStringLiteral("undoModeToggle")));
        if (!vm.browsing().undoModeActive())
            press(Qt::Key_Space);
        settleWindow(window);
        QVERIFY(vm.browsing().undoModeActive());
        QVERIFY(pressUntilFocused(Qt::Key_Tab, QStringLiteral("migrationHistoryList")));
        auto* history = window.findChild<QListView*>(QStringLiteral("migrationHistoryList"));
        QVERIFY(history->currentIndex().isValid());
        for (int i = 0; i < 9; ++i)
            press(Qt::Key_Down);
        settleWindow(window);
        const int chosenRow = history->currentIndex().row();
        QCOMPARE(chosenRow, 9);
        const LinkMapping chosen = vm.history().undoHistory().at(chosenRow);
        press(Qt::Key_Space);
        settleWindow(window);
        QCOMPARE(vm.history().selectedUndoMappingIDs(), QSet<QUuid>{chosen.id});
        const int scrolled = history->verticalScrollBar()->value();
        // The row the keyboard is on shows whole in the window.
        const QRect row = history->visualRect(history->currentIndex());
        const QRect shownRow = history->viewport()->visibleRegion().boundingRect();
        QVERIFY2(shownRow.contains(row),
                 qPrintable(QStringLiteral("%1 of %2").arg(row.y()).arg(shownRow.height())));
        const QString sizeName = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        QVERIFY(!saveScreen(window.grab().toImage(), QStringLiteral("keyboard-history-chosen-") + sizeName)
                     .isEmpty());

        QVERIFY(pressUntilFocused(Qt::Key_Backtab, QStringLiteral("undoSelectedButton")));
        QWidget* undo = QApplication::focusWidget();
        press(Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(
            !vm.activity().isDiskWorkBusy() && vm.history().undoHistory().size() == kFolders - 1, 30000);
        settleWindow(window);
        QCOMPARE(QApplication::focusWidget(), undo);
        // The chosen record, and only it, is back in place.
        QVERIFY(!QFileInfo(chosen.sourcePath).isSymLink());
        QVERIFY(QFileInfo(chosen.sourcePath + QStringLiteral("/data.bin")).isFile());
        for (const LinkMapping& left : vm.history().undoHistory())
            QVERIFY2(QFileInfo(left.sourcePath).isSymLink(), qPrintable(left.sourcePath));
        // The history kept its place: not back at its top.
        if (scrolled > 0)
            QVERIFY(history->verticalScrollBar()->value() > 0);
        QVERIFY(!saveScreen(window.grab().toImage(), QStringLiteral("keyboard-after-undo-") + sizeName)
                     .isEmpty());
    }

    // The history's current record opens its menu from the keyboard, by the menu key and by
    // Shift+F10: the menus of its two path lines, under the lines as the row shows them, each
    // acting on its raw path (here, under presentation privacy, not on the masked line).
    void historyRecordMenuByTheKeyboard_data()
    {
        QTest::addColumn<bool>("menuKey");
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("targetWord");
        QTest::newRow("menu key, English") << true << UILanguage::english << QStringLiteral("Target");
        QTest::newRow("Shift+F10, Chinese") << false << UILanguage::chinese << QStringLiteral("目标目录");
        QTest::newRow("menu key, both") << true << UILanguage::bilingual << QStringLiteral("目标目录 Target");
    }
    void historyRecordMenuByTheKeyboard()
    {
        QFETCH(bool, menuKey);
        QFETCH(UILanguage, language);
        QFETCH(QString, targetWord);
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings([language](AppConfig& config) {
            config.uiLanguage = language;
            config.presentationPrivacyEnabled = true;
        });
        WindowUnderTest win(*vm, withoutStartup());
        QVERIFY(win.showAndStart());
        QWidget& window = *win.window;
        QApplication::setActiveWindow(&window);
        const QList<LinkMapping> mappings{mappingRecord(fx.tree.path(QStringLiteral("A & B"))),
                                          mappingRecord(fx.tree.path(QStringLiteral("C")))};
        ViewModelInternals::context(*vm).history().setUndoHistory(mappings);
        vm->workflows().setUndoMode(true);
        settleWindow(window);

        auto* list = window.findChild<QListView*>(QStringLiteral("migrationHistoryList"));
        QVERIFY(list);
        list->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Down);
        QCOMPARE(list->currentIndex().row(), 1);
        press(Qt::Key_Up);
        if (menuKey) {
            // What the window system sends for the menu key.
            QContextMenuEvent fromKeyboard(QContextMenuEvent::Keyboard, QPoint(), QPoint());
            QCoreApplication::sendEvent(list->viewport(), &fromKeyboard);
        } else {
            QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        }
        QMenu* menu = window.findChild<QMenu*>(QStringLiteral("historyRecordMenu"));
        QVERIFY(menu);
        const QList<QAction*> lines = menu->actions();
        QCOMPARE(lines.size(), 2);
        const LinkMapping& record = mappings.at(0);
        const Presentation& texts = vm->presentation();
        const QString sourceLine = texts.displayPath(record.sourcePath);
        const QString targetLine = targetWord + QStringLiteral(": ") + texts.displayPath(record.targetPath);
        QVERIFY(targetLine != targetWord + QStringLiteral(": ") + record.targetPath);
        QVERIFY2(readsAs(lines.at(0)->text(), sourceLine), qPrintable(lines.at(0)->text()));
        QVERIFY2(readsAs(lines.at(1)->text(), targetLine), qPrintable(lines.at(1)->text()));
        QVERIFY(!saveScreen(menu->grab().toImage(),
                            QStringLiteral("keyboard-history-record-menu-") + QTest::currentDataTag())
                     .isEmpty());
        QMenu* target = lines.at(1)->menu();
        QVERIFY(target);
        auto* copy = target->findChild<QAction*>(QStringLiteral("copyPathAction"));
        QVERIFY(copy);
        copy->trigger();
        QCOMPARE(fx.clipboard->texts.value(fx.clipboard->texts.size() - 1), record.targetPath);
        menu->close();
    }

    // The migrated items: the list is a Tab stop, Space marks the current record for "Repair
    // Selected Link", and the menu key opens that record's own menu (Repair This Link and the rest).
    void migratedItemsByTheKeyboard()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest win(*vm, withoutStartup());
        QVERIFY(win.showAndStart());
        QWidget& window = *win.window;
        QApplication::setActiveWindow(&window);
        ViewModelContext& context = ViewModelInternals::context(*vm);
        const QList<LinkMapping> mappings{mappingRecord(fx.tree.path(QStringLiteral("A"))),
                                          mappingRecord(fx.tree.path(QStringLiteral("B")))};
        context.history().setMigratedMappings(mappings);
        context.history().setMigratedMappingCount(2);
        vm->workflows().setUndoMode(true);
        win.viewState().setShowMigratedItemsPanel(true);
        settleWindow(window);

        auto* list = window.findChild<QListView*>(QStringLiteral("migratedItemsList"));
        QVERIFY(list && list->focusPolicy() & Qt::TabFocus);
        list->setFocus(Qt::TabFocusReason);
        QCOMPARE(list->currentIndex().row(), 0);
        press(Qt::Key_Down);
        press(Qt::Key_Space);
        settleWindow(window);
        QCOMPARE(vm->history().selectedMigratedMappingIDs(), QSet<QUuid>{mappings.at(1).id});
        QVERIFY(window.findChild<QPushButton*>(QStringLiteral("repairSelectedLinks"))->isEnabled());
        QVERIFY(pressUntilFocused(Qt::Key_Backtab, QStringLiteral("repairSelectedLinks")));

        list->setFocus(Qt::TabFocusReason);
        QContextMenuEvent fromKeyboard(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        QCoreApplication::sendEvent(list->viewport(), &fromKeyboard);
        QMenu* menu = window.findChild<QMenu*>(QStringLiteral("migratedRowMenu"));
        QVERIFY(menu);
        QVERIFY(!menu->actions().isEmpty());
        menu->close();
    }
};

QTEST_MAIN(KeyboardFlowsTest)
#include "tst_keyboardflows.moc"
