#include "FitWindow.h"
#include "UiTestSupport.h"
#include "ui/models/DirectoryListModel.h"
#include "ui/widgets/LayoutSettling.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QApplication>
#include <QListView>
#include <QPushButton>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

namespace {

// The groups of the window as they stand on the screen: the left column top to bottom, then the
// detail column.
const QStringList kGroups{QStringLiteral("quickAccessBar"),    QStringLiteral("scanGroup"),
                          QStringLiteral("targetGroup"),       QStringLiteral("navigationGroup"),
                          QStringLiteral("actionsRow"),        QStringLiteral("migrationListGroup"),
                          QStringLiteral("searchRow"),         QStringLiteral("directoryList"),
                          QStringLiteral("activityWorkspace"), QStringLiteral("detailScroll")};

// The group `widget` is in, or -1.
int groupOf(const QWidget* widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (const qsizetype group = kGroups.indexOf(widget->objectName()); group >= 0)
            return int(group);
    }
    return -1;
}

QString describe(const QWidget* widget)
{
    if (!widget)
        return QStringLiteral("(none)");
    const QString name = widget->objectName().isEmpty()
                             ? QString::fromLatin1(widget->metaObject()->className())
                             : widget->objectName();
    const int group = groupOf(widget);
    return name + QStringLiteral(" in ") + (group >= 0 ? kGroups.at(group) : QStringLiteral("?"));
}

// The focused widgets, pressing Tab from `first` until the focus comes back to it (or `most`
// presses).
QList<QWidget*> walkTab(QWidget* first, int most)
{
    QList<QWidget*> walk;
    first->setFocus(Qt::TabFocusReason);
    for (QWidget* focused = QApplication::focusWidget(); focused && walk.size() < most;) {
        walk.append(focused);
        QTest::keyClick(focused, Qt::Key_Tab);
        focused = QApplication::focusWidget();
        if (focused == first)
            break;
    }
    return walk;
}

// The widgets named `name` in the walk, by their place in it.
QList<qsizetype> placesOf(const QList<QWidget*>& walk, const QString& name)
{
    QList<qsizetype> places;
    for (qsizetype i = 0; i < walk.size(); ++i) {
        if (walk.at(i)->objectName() == name)
            places.append(i);
    }
    return places;
}

// Whether the widgets at `places` stand left to right on the screen.
bool leftToRight(const QList<QWidget*>& walk, const QList<qsizetype>& places)
{
    for (qsizetype i = 1; i < places.size(); ++i) {
        const QWidget* before = walk.at(places.at(i - 1));
        const QWidget* after = walk.at(places.at(i));
        if (before->mapToGlobal(QPoint()).x() >= after->mapToGlobal(QPoint()).x())
            return false;
    }
    return true;
}

} // namespace

// The keyboard's Tab order follows the screen, also for the chips and cards made after the window:
// the left column top to bottom, the breadcrumb chips before the navigation buttons, the
// suggestion cards right after the button that unfolds them, then the detail column.
class WindowTabOrderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareWidgetTests(); }

    void tabFollowsTheScreen()
    {
        FitWindow fit(QSize(1480, 940), [](AppConfig& config) {
            config.uiLanguage = UILanguage::english;
            config.smartMigrationEnabled = true;
            config.smartMigrationProfile = SmartMigrationProfile::other;
        });
        for (const char* name : {"Downloads", "Movies", "Pictures"})
            fit.fx.tree.fileOfSize(QString::fromLatin1(name) + QStringLiteral("/big.bin"), 1 << 20);
        QVERIFY(fit.start());
        QMainWindow& window = *fit.w->window;
        // Off screen the window system activates nothing: the application is told directly.
        QApplication::setActiveWindow(&window);
        QTRY_VERIFY(window.isActiveWindow());
        // Chips and cards rebuilt after the window was made, as the user meets them.
        fit.vm->navigation().navigate(fit.fx.tree.path(QStringLiteral("Downloads")), true);
        QVERIFY(waitUntilIdle(*fit.vm));
        fit.vm->navigation().goBack();
        QVERIFY(waitUntilIdle(*fit.vm));
        auto* toggle = window.findChild<QPushButton*>(QStringLiteral("smartMigrationToggle"));
        QVERIFY(toggle);
        toggle->click();
        ui::settleLayouts(window);

        QWidget* first = window.findChild<QWidget*>(kGroups.first());
        QVERIFY(first);
        do
            first = first->nextInFocusChain();
        while (!(first->focusPolicy() & Qt::TabFocus) || !first->isVisible() || !first->isEnabled());
        const QList<QWidget*> walk = walkTab(first, 300);
        QStringList shown;
        for (const QWidget* widget : walk)
            shown.append(describe(widget));
        const QString trail = shown.join(QStringLiteral("\n"));

        // The groups in screen order, each one reached.
        int group = 0;
        QList<int> reached;
        for (const QWidget* widget : walk) {
            const int next = groupOf(widget);
            // Past the detail column the walk wraps round to the left column.
            if (group == int(kGroups.size()) - 1 && next < group)
                break;
            QVERIFY2(next >= group,
                     qPrintable(describe(widget) + QStringLiteral(" out of order:\n") + trail));
            group = next;
            if (!reached.contains(next))
                reached.append(next);
        }
        QCOMPARE(reached.size(), kGroups.size());

        // The chips before the navigation buttons and the path field, left to right.
        const QList<qsizetype> chips = placesOf(walk, QStringLiteral("breadcrumbChip"));
        QVERIFY2(chips.size() >= 3, qPrintable(trail));
        // (Back is disabled here, having come back; Up is not.)
        const qsizetype up = placesOf(walk, QStringLiteral("upButton")).value(0, -1);
        const qsizetype pathField = placesOf(walk, QStringLiteral("pathInputField")).value(0, -1);
        QCOMPARE(up, chips.constLast() + 2);
        QVERIFY2(pathField > up, qPrintable(trail));
        QVERIFY(leftToRight(walk, chips));
        // The cards right after their button, left to right.
        const QList<qsizetype> cards = placesOf(walk, QStringLiteral("suggestionCard"));
        const qsizetype unfold = placesOf(walk, QStringLiteral("smartMigrationToggle")).value(0, -1);
        QVERIFY2(cards.size() >= 3 && unfold >= 0, qPrintable(trail));
        for (qsizetype i = 0; i < cards.size(); ++i)
            QCOMPARE(cards.at(i), unfold + 1 + i);
        QVERIFY(leftToRight(walk, cards));

        // Every stop shows that it has the focus: it looks otherwise with the focus than without.
        QStringList unmarked;
        for (QWidget* widget : walk) {
            widget->setFocus(Qt::TabFocusReason);
            QCoreApplication::processEvents();
            const QImage focused = widget->grab().toImage();
            widget->clearFocus();
            QCoreApplication::processEvents();
            if (widget->grab().toImage() == focused)
                unmarked.append(describe(widget));
        }
        QVERIFY2(unmarked.isEmpty(),
                 qPrintable(QStringLiteral("no sign of the focus on:\n") + unmarked.join(QLatin1Char('\n'))));
    }

    // The keyboard starts at the folder list with its first row focused, so Space and Return act
    // on a row at once; the search is one Shift+Tab away and Tab comes back to the list from it,
    // which again focuses a row when none is.
    void theKeyboardStartsAtTheList_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<UILanguage>("language");
        QTest::newRow("1366x768-zh") << QSize(1366, 768) << UILanguage::chinese;
        QTest::newRow("1366x768-both") << QSize(1366, 768) << UILanguage::bilingual;
        QTest::newRow("1920x1080-en") << QSize(1920, 1080) << UILanguage::english;
    }
    void theKeyboardStartsAtTheList()
    {
        QFETCH(QSize, size);
        QFETCH(UILanguage, language);
        FitWindow fit(size, language);
        QVERIFY(fit.start());
        QMainWindow& window = *fit.w->window;
        QApplication::setActiveWindow(&window);
        QTRY_VERIFY(window.isActiveWindow());
        QListView* list = fit.list();
        QVERIFY(list && list->model()->rowCount() > 1);
        const auto firstRowFocused = [&fit, list] {
            const QModelIndex first = list->model()->index(0, 0);
            return fit.vm->browsing().focusedEntryPath() ==
                       first.data(ui::DirectoryListModel::PathRole).toString() &&
                   first.data(ui::DirectoryListModel::IsFocusedRole).toBool();
        };

        // No Tab press is needed to reach the list.
        QTRY_VERIFY(QApplication::focusWidget());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(list));
        QVERIFY(firstRowFocused());
        QVERIFY(fit.saveAs(QStringLiteral("keyboard-start-") + QTest::currentDataTag()));
        // Space ticks that row at once.
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(fit.vm->browsing().selectedPaths().size(), 1);

        QTest::keyClick(list, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("searchField"));
        ViewModelInternals::context(*fit.vm).browsing().setFocusedEntryPath(std::nullopt);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(list));
        QVERIFY(firstRowFocused());
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(fit.vm->browsing().focusedEntryPath(),
                 list->model()->index(1, 0).data(ui::DirectoryListModel::PathRole).toString());
    }
};

QTEST_MAIN(WindowTabOrderTest)
#include "tst_windowtaborder.moc"
