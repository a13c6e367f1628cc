// The window's controls that start disk work, while other disk work runs: every button is disabled
// by the state object's one rule; the controls that stay enabled (a migrated item's row menu, the
// answer of the force-migration prompt) start nothing and say why in the info line.
#include "FitWindow.h"
#include "UiTestSupport.h"
#include "ViewModelFixture.h"
#include "WindowTestSupport.h"
#include "ui/models/MappingListModel.h"
#include "ui/views/detail/MappingListView.h"
#include "ui/widgets/LayoutSettling.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

namespace {

const QStringList kStarters{"migrateSelectedButton", "undoSelectedButton",  "undoLastButton",
                            "repairAllLinks",        "repairSelectedLinks", "forceMigrateButton",
                            "terminateRetryButton"};

FailedMigrationRecord failedWith(const QString& path, const QString& code)
{
    FailedMigrationRecord record = failedRecord(path);
    record.errorCode = code;
    return record;
}

void setRunning(ActivityState& activity, const QString& work, bool running)
{
    const DiskWork kind = work == "migration" ? DiskWork::migration
                          : work == "undo"    ? DiskWork::undo
                                              : DiskWork::linkRepair;
    activity.setDiskWork(running ? kind : DiskWork::none);
}

// The enabled starter buttons, by name: push buttons and the buttons painted in the record rows.
QStringList enabledStarters(QWidget* window)
{
    const QList<ui::RecordRowPart> painted = recordParts(*window);
    QStringList enabled;
    for (const QString& name : kStarters) {
        auto* button = window->findChild<QPushButton*>(name);
        const bool paintedEnabled =
            std::any_of(painted.cbegin(), painted.cend(), [&name](const ui::RecordRowPart& part) {
                return part.name == name && part.kind == ui::RecordRowPart::Kind::button && part.enabled;
            });
        if ((button && button->isEnabled()) || paintedEnabled)
            enabled.append(name);
    }
    return enabled;
}

// Opens the whole-row menu of the migrated items list's first row.
QMenu* migratedRowMenu(QWidget* window)
{
    auto* list = window->findChild<ui::MappingListView*>(QStringLiteral("migratedItemsList"));
    const QRect rect = list->visualRect(list->model()->index(0, 0));
    const QPoint at(rect.left() + 20, rect.top() + 8);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &event);
    for (QMenu* menu : window->findChildren<QMenu*>(QStringLiteral("migratedRowMenu"))) {
        if (menu->isVisible())
            return menu;
    }
    return nullptr;
}

} // namespace

class DiskWorkControlsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareWidgetTests(); }

    void controlsFollowTheRule_data()
    {
        QTest::addColumn<QString>("work");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("migration") << "migration"
                                   << "A migration is running. Try again once it has finished.";
        QTest::newRow("undo") << "undo"
                              << "An undo is running. Try again once it has finished.";
        QTest::newRow("repair") << "repair"
                                << "A link repair is running. Try again once it has finished.";
    }

    void controlsFollowTheRule()
    {
        QFETCH(QString, work);
        QFETCH(QString, refusal);
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        const QString alpha = fx.tree.dir("Alpha");
        const QString beta = fx.tree.dir("Beta");
        const LinkMapping moved = mappingRecord(fx.tree.path("Moved"));
        ViewModelInternals::context(*vm).history().setUndoHistory({moved});
        ViewModelInternals::context(*vm).history().setMigratedMappings({moved});
        ViewModelInternals::context(*vm).history().setSelectedUndoMappingIDs({moved.id});
        ViewModelInternals::context(*vm).history().setSelectedMigratedMappingIDs({moved.id});
        ViewModelInternals::context(*vm).history().setRecentFailedMigrations(
            {failedWith(alpha, "E004"), failedWith(beta, "E007")});
        ViewModelInternals::context(*vm).browsing().setSelectedPaths({beta});

        WindowUnderTest w(*vm, withoutStartup());
        w.viewState().setShowMigratedItemsPanel(true);
        QVERIFY(w.showAndStart());
        QWidget* window = w.window.get();
        QTRY_COMPARE(enabledStarters(window), kStarters);

        ActivityState& activity = ViewModelInternals::context(*vm).activity();
        setRunning(activity, work, true);
        QVERIFY(!vm->workflows().mayStartDiskWork());
        QTRY_COMPARE(enabledStarters(window), QStringList());
        saveScreen(window->grab().toImage(), "controls-during-" + work);

        // The row menu stays as it is; its repair starts nothing and says why.
        activity.setInfoMessage(std::nullopt);
        QMenu* menu = migratedRowMenu(window);
        QVERIFY(menu);
        QAction* repairThis = menu->actions().value(0);
        QCOMPARE(repairThis->text(), "Repair This Link");
        QVERIFY(repairThis->isEnabled());
        repairThis->trigger();
        menu->close();
        QTRY_COMPARE(infoLine(*vm), std::optional(refusal));
        QCOMPARE(activity.isRepairingLinks(), work == "repair");

        // So does the answer of the force-migration prompt.
        activity.setInfoMessage(std::nullopt);
        vm->workflows().presentMigrationConflictPrompt(failedWith(alpha, "E004"));
        QTRY_COMPARE(w.surface->openTitle(), "Choose a Force Migration Mode");
        QVERIFY(w.surface->answer(QStringLiteral("Append Migrate (Recommended)")));
        QTRY_COMPARE(infoLine(*vm), std::optional(refusal));
        QCOMPARE(vm->history().recentFailedMigrations().size(), 2);

        // A restore's question no run waits for (its run is gone) starts nothing: an answer goes back
        // to the run that asked, never to a new one.
        activity.setInfoMessage(std::nullopt);
        activity.setUndoConflictPrompt(UndoConflictPrompt{QUuid::createUuid(), moved,
                                                          BilingualText::same("Choose a Force Restore Mode"),
                                                          BilingualText::same("Occupied.")});
        QTRY_COMPARE(w.surface->openTitle(), "Choose a Force Restore Mode");
        QVERIFY(w.surface->answer(QStringLiteral("Overwrite Restore")));
        QTRY_VERIFY(!activity.undoConflictPrompt());
        QCoreApplication::processEvents();
        QCOMPARE(infoLine(*vm), std::nullopt);
        QCOMPARE(vm->history().undoHistory(), QList<LinkMapping>{moved});
        QCOMPARE(activity.isMigrating(), work == "migration");
        QCOMPARE(activity.isUndoing(), work == "undo");

        // The work ends: every control is offered again.
        setRunning(activity, work, false);
        QTRY_COMPARE(enabledStarters(window), kStarters);
    }

    // The window after a finished batch, in each language at the laptop's and the desktop's size:
    // once the dock collapsed by itself, it says the work finished (the counters the progress card
    // keeps are no work) and speaks of no collapse to come, and while a link repair runs the buttons
    // that start disk work are off.
    void windowAfterABatch_data() { addSizeAndLanguageRows(); }

    void windowAfterABatch()
    {
        QFETCH(UILanguage, language);
        QFETCH(QSize, size);
        ViewModelFixture fx;
        auto vm =
            fx.makeViewModelWithSettings([language](AppConfig& config) { config.uiLanguage = language; });
        const LinkMapping moved = mappingRecord(fx.tree.path("Moved"));
        ViewModelInternals::context(*vm).history().setUndoHistory({moved});
        ViewModelInternals::context(*vm).history().setMigratedMappings({moved});
        ViewModelInternals::context(*vm).history().setRecentMigrations({successRecord(moved.sourcePath)});
        ActivityState& activity = ViewModelInternals::context(*vm).activity();
        activity.setCurrentOperationTitle({QStringLiteral("迁移"), QStringLiteral("Migration")});
        activity.setMigrationTotalItems(1);
        activity.setMigrationProcessedItems(1);
        activity.setMigrationSucceededItems(1);
        ViewModelInternals::context(*vm).browsing().setSelectedPaths({fx.tree.dir("Alpha")});

        WindowUnderTest w(*vm, withoutStartup(), std::chrono::milliseconds(20));
        w.window->resize(size);
        QVERIFY(w.showAndStart());
        QTRY_VERIFY(!w.viewState().showProgressPanel());
        QWidget* window = w.window.get();
        auto* migrate = window->findChild<QPushButton*>(QStringLiteral("migrateSelectedButton"));
        QCOMPARE(migrate->text(), vm->presentation().localized({"迁移所选", "Migrate Selected"}));
        QTRY_VERIFY(migrate->isEnabled());
        QTRY_COMPARE(window->findChild<QLabel*>(QStringLiteral("activityBadge"))->text(),
                     vm->presentation().localized({"已完成", "Finished"}));
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("activitySummary"))->text(),
                 vm->presentation().localized({"最近操作已完成。", "The latest operation finished."}));
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        ui::settleLayouts(*window);
        saveScreen(window->grab().toImage(), "window-after-batch-" + tag);

        auto* undoLast = window->findChild<QPushButton*>(QStringLiteral("undoLastButton"));
        QVERIFY(undoLast->isEnabled());
        activity.setDiskWork(DiskWork::linkRepair);
        QTRY_VERIFY(!migrate->isEnabled() && !undoLast->isEnabled());
        QVERIFY(w.viewState().showProgressPanel());
        ui::settleLayouts(*window);
        saveScreen(window->grab().toImage(), "window-repair-running-" + tag);
        activity.setDiskWork(DiskWork::none);
    }
};

QTEST_MAIN(DiskWorkControlsTest)
#include "tst_diskworkcontrols.moc"
