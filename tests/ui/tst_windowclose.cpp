#include "UiTestSupport.h"
#include "ViewModelFixture.h"
#include "WindowTestSupport.h"
#include "WorkflowFixture.h"
#include "platform/SymbolicLinks.h"
#include "support/HoldingProcess.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"
#include "ui/models/DirectoryListModel.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/flow/DetachedFlow.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

namespace {

// What lay where at the instant the window went away (after that the application would quit).
class CloseWitness : public QObject {
public:
    CloseWitness(QWidget* window, QString source, QString target)
        : m_source(std::move(source)), m_target(std::move(target))
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && !closed) {
            closed = true;
            link = platform::readSymbolicLink(m_source);
            atSource = link ? QStringList() : snapshotTree(m_source);
            atTarget = QFileInfo::exists(m_target) ? snapshotTree(m_target) : QStringList();
        }
        return QObject::eventFilter(watched, event);
    }

    bool closed = false;
    std::optional<QString> link;
    QStringList atSource;
    QStringList atTarget;

private:
    QString m_source;
    QString m_target;
};

// Lets the window and the state object go, as the application does when it quits, then says what
// of the second item moved (empty: nothing).
QString secondAfterQuit(WorkflowFixture& wf, WindowUnderTest& w, const QString& second,
                        const QStringList& secondBefore)
{
    w.window.reset();
    wf.viewModel.reset();
    return neverMigrated(wf, second, secondBefore);
}

} // namespace

class WindowCloseTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareWidgetTests(); }

    void closesAtOnceWithoutDiskWork()
    {
        ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        WindowUnderTest w(*vm, withoutStartup());
        QVERIFY(w.showAndStart());
        QVERIFY(w.window->close());
        QVERIFY(!w.window->isVisible());
        QVERIFY(w.surface->shown().isEmpty());
        // The state object was told: nothing starts any more.
        const QString folder = fx.tree.fileOfSize("Kept/data.bin", 4096).section('/', 0, -2);
        ViewModelInternals::context(*vm).browsing().setSelectedPaths({folder});
        finish(vm->workflows().migrateSelectedItems());
        QVERIFY(!platform::readSymbolicLink(folder));
    }

    // The user closes the window while the first of two items is on its way to the other file
    // system (held by the copy gate after its staging). Asked, "Cancel" keeps the window and the
    // batch runs to its end; "Close Anyway" closes the window only once the running item finished,
    // and the second never starts.
    void closeDuringMigration_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("close anyway") << "Close Anyway";
        QTest::newRow("cancel") << "Cancel";
        QTest::newRow("dismissed") << QString();
    }

    void closeDuringMigration()
    {
        QFETCH(QString, answer);
        WorkflowFixture wf;
        SKIP_WITHOUT(wf);
        const auto [first, second, firstBefore, secondBefore] = makeTwoFolderBatch(wf);
        MainViewModel& vm = wf.vm();
        WindowUnderTest w(vm, withoutStartup());
        QVERIFY(w.showAndStart());
        CloseWitness witness(w.window.get(), first, wf.targetOf(first));
        QVERIFY(startHeldMigration(wf, {first, second}));

        QVERIFY(!w.window->close());
        QVERIFY(w.window->isVisible());
        QTRY_COMPARE(w.surface->openTitle(), QStringLiteral("Disk Work Is Running"));
        // Asking again while the question is open asks nothing more.
        QVERIFY(!w.window->close());
        QVERIFY(w.surface->open()->message.startsWith("A migration is running."));
        QCOMPARE(vm.activity().migrationCurrentPath(), std::optional(first));
        QVERIFY(w.surface->answer(answer.isEmpty() ? std::nullopt : std::optional(answer)));

        QCoreApplication::processEvents();
        QCOMPARE(w.surface->shownTitles().count(QStringLiteral("Disk Work Is Running")), 1);
        if (answer != "Close Anyway") {
            QVERIFY(!w.surface->isOpen());
            QVERIFY(!w.window->isClosing());
            wf.copyGate->open();
            QTRY_VERIFY_WITH_TIMEOUT(!vm.activity().isMigrating(), 60000);
            QVERIFY(w.window->isVisible());
            QCOMPARE(platform::readSymbolicLink(first), std::optional(wf.targetOf(first)));
            QCOMPARE(platform::readSymbolicLink(second), std::optional(wf.targetOf(second)));
            QCOMPARE(snapshotTree(wf.targetOf(second)), secondBefore);
            // Nothing runs now: the window closes at once.
            QVERIFY(w.window->close());
            return;
        }

        // The window waits for the item the gate holds.
        QVERIFY(w.window->isClosing());
        QVERIFY(w.window->isVisible());
        QVERIFY(!witness.closed);
        wf.copyGate->open();
        QTRY_VERIFY_WITH_TIMEOUT(witness.closed, 60000);
        // At the instant the window went, the running item was whole at its target, linked.
        QCOMPARE(witness.link, std::optional(wf.targetOf(first)));
        QCOMPARE(witness.atTarget, firstBefore);
        const QString secondProblem = secondAfterQuit(wf, w, second, secondBefore);
        QVERIFY2(secondProblem.isEmpty(), qPrintable(secondProblem));
    }

    // While the question is open the item on its way finishes and the batch stops before the next
    // one: nothing runs any more, so the question goes unanswered and the window closes as asked.
    // The second item never starts, and the next start tells of the one run item alone: nothing
    // interrupted, nothing failed.
    void heldBatchClosesWhenTheItemEnds()
    {
        WorkflowFixture wf;
        SKIP_WITHOUT(wf);
        const auto [first, second, firstBefore, secondBefore] = makeTwoFolderBatch(wf);
        MainViewModel& vm = wf.vm();
        WindowUnderTest w(vm, withoutStartup());
        QVERIFY(w.showAndStart());
        CloseWitness witness(w.window.get(), first, wf.targetOf(first));
        QVERIFY(startHeldMigration(wf, {first, second}));
        QVERIFY(!w.window->close());
        QTRY_COMPARE(w.surface->openTitle(), QStringLiteral("Disk Work Is Running"));
        QVERIFY(vm.hasRunningDiskWork());

        wf.copyGate->open();
        QTRY_VERIFY_WITH_TIMEOUT(witness.closed, 60000);
        QVERIFY(!w.surface->isOpen());
        QCOMPARE(w.surface->withdrawn(), 1);
        QCOMPARE(w.surface->shownTitles().count(QStringLiteral("Disk Work Is Running")), 1);
        QVERIFY(!w.window->isVisible());
        // At the instant the window went, the first item was whole at its target, linked.
        QCOMPARE(witness.link, std::optional(wf.targetOf(first)));
        QCOMPARE(witness.atTarget, firstBefore);
        QCOMPARE(vm.activity().migrationProcessedItems(), 1);
        for (int round = 0; round < 20; ++round)
            QCoreApplication::processEvents();
        QCOMPARE(wf.copyGate->arrivals(), QStringList{first});

        const QString secondProblem = secondAfterQuit(wf, w, second, secondBefore);
        QVERIFY2(secondProblem.isEmpty(), qPrintable(secondProblem));
        const QString reported = freshStartReports(wf, {first});
        QVERIFY2(reported.isEmpty(), qPrintable(reported));
    }

    // A folder made after the listing was cached goes first in a batch and the window closes by
    // "Close Anyway": the next window lists it as the link it now is, and a search finds it.
    void aFolderMadeAfterTheListingIsFoundAfterCloseAnyway()
    {
        WorkflowFixture wf;
        SKIP_WITHOUT(wf);
        const auto [first, second, firstBefore, secondBefore] = makeTwoFolderBatch(wf);
        const QString aside = wf.fx.home.path(QStringLiteral("aside"));
        QVERIFY(QDir().rename(first, aside));
        MainViewModel& vm = wf.vm();
        WindowUnderTest w(vm);
        QVERIFY(w.showAndList());
        QCOMPARE(shownNames(vm), QStringList{"Beta"});
        QVERIFY(QDir().rename(aside, first));

        CloseWitness witness(w.window.get(), first, wf.targetOf(first));
        QVERIFY(startHeldMigration(wf, {first, second}));
        QVERIFY(!w.window->close());
        QTRY_COMPARE(w.surface->openTitle(), QStringLiteral("Disk Work Is Running"));
        QVERIFY(w.surface->answer(QStringLiteral("Close Anyway")));
        wf.copyGate->open();
        QTRY_VERIFY_WITH_TIMEOUT(witness.closed, 60000);
        QVERIFY(secondAfterQuit(wf, w, second, secondBefore).isEmpty());

        auto reopened = wf.fx.makeViewModel();
        WindowUnderTest again(*reopened);
        QVERIFY(again.showAndList());
        auto* search = again.window->findChild<QLineEdit*>(QStringLiteral("searchField"));
        QVERIFY(search);
        QTest::keyClicks(search, QStringLiteral("Alp"));
        settleWindow(*again.window);
        // The search also looks at whole paths, so a checkout whose path spells the query in order
        // matches the other folder too: what counts is that the count and the rows agree and that
        // the folder made after the listing is among them, as its link.
        auto* list = again.window->findChild<QListView*>(QStringLiteral("directoryList"));
        const int rows = list->model()->rowCount();
        QCOMPARE(again.window->findChild<QLabel*>(QStringLiteral("matchCount"))->text(),
                 QStringLiteral("Match %1 items").arg(rows));
        const QModelIndexList found = list->model()->match(list->model()->index(0, 0), Qt::DisplayRole,
                                                           QStringLiteral("Alpha"), 1, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        const QModelIndex row = found.constFirst();
        QVERIFY(row.data(ui::DirectoryListModel::IsMigratedRole).toBool());
        QVERIFY(!saveScreen(again.window->grab().toImage(), QStringLiteral("close-anyway-next-start-search"))
                     .isEmpty());
    }

    // The window is closed while an undo asks about the programs holding its folder: the window's own
    // question steps in front of the undo's. "Close Anyway" answers the undo's question Cancel and the
    // window closes with the folder whole behind its link; "Cancel" brings the undo's question back,
    // and its answer still goes to the run that asked.
    void closeWhileAnUndoAsks_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("close anyway") << "Close Anyway";
        QTest::newRow("cancel") << "Cancel";
    }

    void closeWhileAnUndoAsks()
    {
        QFETCH(QString, answer);
        WorkflowFixture wf;
        SKIP_WITHOUT(wf);
        const QString source = wf.tree.file("Notes/a.txt", "a").section('/', 0, -2);
        MainViewModel& vm = wf.vm();
        ViewModelInternals::context(vm).browsing().setSelectedPaths({source});
        finish(vm.workflows().migrateSelectedItems());
        HoldingProcess::Options sitting;
        sitting.workingDirectory = source;
        HoldingProcess holder(sitting);
        WindowUnderTest w(vm, withoutStartup());
        QVERIFY(w.showAndStart());
        CloseWitness witness(w.window.get(), source, wf.targetOf(source));
        const QString asked = QStringLiteral("Programs Are Using This Folder");
        startDetached(vm.workflows().undoLastMigration());
        QTRY_COMPARE(w.surface->openTitle(), asked);

        QVERIFY(!w.window->close());
        QTRY_COMPARE(w.surface->openTitle(), QStringLiteral("Disk Work Is Running"));
        QVERIFY(vm.activity().undoConflictPrompt());
        QVERIFY(w.surface->answer(answer));
        if (answer == "Close Anyway") {
            QTRY_VERIFY_WITH_TIMEOUT(witness.closed, 60000);
            QCOMPARE(witness.link, std::optional(wf.targetOf(source)));
            QVERIFY(!vm.activity().undoConflictPrompt());
            QCOMPARE(w.surface->shownTitles(), (QStringList{asked, "Disk Work Is Running"}));
            QCOMPARE(holder.process().state(), QProcess::Running);
            w.window.reset();
            wf.viewModel.reset();
            const QString reported = freshStartReports(wf, {source});
            QVERIFY2(reported.isEmpty(), qPrintable(reported));
            return;
        }
        QTRY_COMPARE(w.surface->openTitle(), asked);
        QVERIFY(w.window->isVisible());
        QVERIFY(w.surface->answer(QStringLiteral("End Programs and Undo")));
        QTRY_VERIFY_WITH_TIMEOUT(!vm.activity().isUndoing(), 60000);
        QTRY_VERIFY(infoLine(vm).has_value());
        QVERIFY2(infoLine(vm)->endsWith(" Programs ended: sleep."), qPrintable(*infoLine(vm)));
        QVERIFY(QFileInfo(source).isDir() && !QFileInfo(source).isSymLink());
        QCOMPARE(w.surface->shownTitles(), (QStringList{asked, "Disk Work Is Running", asked}));
    }

    // The work the question asks about ends on its own while it is open (a one-item migration, a
    // link repair, the start-up recovery): the question goes away unanswered and the window closes
    // as the user asked.
    void questionGoesWhenTheWorkEnds_data()
    {
        QTest::addColumn<QString>("work");
        QTest::newRow("one-item migration") << "migration";
        QTest::newRow("link repair") << "repair";
        QTest::newRow("start-up recovery") << "recovery";
    }

    void questionGoesWhenTheWorkEnds()
    {
        QFETCH(QString, work);
        WorkflowFixture wf;
        SKIP_WITHOUT(wf);
        const auto [first, second, firstBefore, secondBefore] = makeTwoFolderBatch(wf);
        MainViewModel& vm = wf.vm();
        WindowUnderTest w(vm, withoutStartup());
        QVERIFY(w.showAndStart());
        CloseWitness witness(w.window.get(), first, wf.targetOf(first));
        if (work == "migration") {
            QVERIFY(startHeldMigration(wf, {first}));
        } else {
            ViewModelInternals::context(vm).activity().setDiskWork(work == "repair" ? DiskWork::linkRepair
                                                                                    : DiskWork::recovery);
        }
        QVERIFY(!w.window->close());
        QTRY_COMPARE(w.surface->openTitle(), QStringLiteral("Disk Work Is Running"));
        QCOMPARE(w.surface->withdrawn(), 0);

        if (work == "migration")
            wf.copyGate->open();
        else
            ViewModelInternals::context(vm).activity().setDiskWork(DiskWork::none);
        QTRY_VERIFY_WITH_TIMEOUT(witness.closed, 60000);
        QVERIFY(!w.surface->isOpen());
        QCOMPARE(w.surface->withdrawn(), 1);
        QCOMPARE(w.surface->shownTitles().count(QStringLiteral("Disk Work Is Running")), 1);
        QVERIFY(!w.window->isVisible());
        if (work == "migration") {
            QCOMPARE(witness.link, std::optional(wf.targetOf(first)));
            QCOMPARE(witness.atTarget, firstBefore);
        }
    }
};

QTEST_MAIN(WindowCloseTest)
#include "tst_windowclose.moc"
