#include "UiTestSupport.h"
#include "ViewModelFixture.h"
#include "WindowTestSupport.h"
#include "WorkflowFixture.h"
#include "platform/SymbolicLinks.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"
#include "viewmodel/DetachedFlow.h"

#include <QtTest>

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
        vm->browsing().setSelectedPaths({folder});
        finish(vm->workflows().migrateSelectedItems());
        QVERIFY(!platform::readSymbolicLink(folder));
    }

    // The user closes the window while the first of two items is copied to the other file system.
    // Asked, "Cancel" keeps the window and the batch runs to its end; "Close Anyway" closes the
    // window only once the running item finished or rolled back, and the second never starts.
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
        WorkflowFixture wf(UILanguage::english, kLargeBatchVolumeBytes);
        SKIP_WITHOUT(wf);
        const auto [large, small, largeBefore, smallBefore] = makeLargeAndSmallBatch(wf);

        MainViewModel& vm = wf.vm();
        WindowUnderTest w(vm, withoutStartup());
        QVERIFY(w.showAndStart());
        CloseWitness witness(w.window.get(), large, wf.targetOf(large));
        vm.browsing().setSelectedPaths({large, small});
        startDetached(vm.workflows().migrateSelectedItems());
        QVERIFY(waitUntilMigrating(vm, large));

        QVERIFY(!w.window->close());
        QVERIFY(w.window->isVisible());
        QTRY_COMPARE(w.surface->openTitle(), QStringLiteral("Disk Work Is Running"));
        // Asking again while the question is open asks nothing more.
        QVERIFY(!w.window->close());
        QVERIFY(w.surface->open()->message.startsWith("A migration is running."));
        // The answer must land while the first item is still being copied, or the rest proves little.
        QVERIFY2(vm.activity().migrationCurrentPath() == std::optional<QString>(large),
                 "the first item finished before the question was answered");
        QVERIFY(w.surface->answer(answer.isEmpty() ? std::nullopt : std::optional(answer)));

        QCoreApplication::processEvents();
        QCOMPARE(w.surface->shownTitles().count(QStringLiteral("Disk Work Is Running")), 1);
        if (answer != "Close Anyway") {
            QVERIFY(!w.surface->isOpen());
            QVERIFY(!w.window->isClosing());
            QTRY_VERIFY_WITH_TIMEOUT(!vm.activity().isMigrating(), 60000);
            QVERIFY(w.window->isVisible());
            QCOMPARE(platform::readSymbolicLink(large), std::optional(wf.targetOf(large)));
            QCOMPARE(platform::readSymbolicLink(small), std::optional(wf.targetOf(small)));
            QCOMPARE(snapshotTree(wf.targetOf(small)), smallBefore);
            // Nothing runs now: the window closes at once.
            QVERIFY(w.window->close());
            return;
        }

        QVERIFY(w.window->isClosing());
        QTRY_VERIFY_WITH_TIMEOUT(witness.closed, 60000);
        // At the instant the window went, the running item was whole at one end.
        const QString target = wf.targetOf(large);
        if (witness.link) {
            QCOMPARE(*witness.link, target);
            QCOMPARE(witness.atTarget, largeBefore);
        } else {
            QCOMPARE(witness.atSource, largeBefore);
            QVERIFY(witness.atTarget.isEmpty());
        }
        w.window.reset();
        wf.viewModel.reset();
        QCOMPARE(snapshotTree(small), smallBefore);
        QVERIFY(!QFileInfo::exists(wf.targetOf(small)));
    }
};

QTEST_MAIN(WindowCloseTest)
#include "tst_windowclose.moc"
