#include "support/TaskRunner.h"
#include "viewmodel/flow/FlowCondition.h"

#include <QTest>
#include <memory>

using namespace orvalink;

// A flow waiting on a condition goes on exactly when the condition holds after a wake: not on a
// wake alone, and also when its owner is gone.
class FlowConditionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aConditionThatHoldsPassesAtOnce()
    {
        FlowCondition condition;
        QCoro::Task<> waiting = condition.until([] { return true; });
        QVERIFY(waiting.isReady());
    }

    void aWaitGoesOnOnlyOnceTheConditionHolds()
    {
        FlowCondition condition;
        auto holds = std::make_shared<bool>(false);
        auto looks = std::make_shared<int>(0);
        QCoro::Task<> waiting = condition.until([holds, looks] {
            ++*looks;
            return *holds;
        });
        QCOMPARE(*looks, 1);

        // Woken while the condition does not hold: it looks and waits on.
        condition.wake();
        QTRY_COMPARE(*looks, 2);
        QVERIFY(!waiting.isReady());

        *holds = true;
        condition.wake();
        test::runTask(std::move(waiting));
        QCOMPARE(*looks, 3);
    }

    // The owner makes the condition true and wakes the flow as it goes; the flow keeps what it
    // looks at and ends after the owner.
    void aWaitOutlivesItsOwner()
    {
        auto condition = std::make_unique<FlowCondition>();
        auto holds = std::make_shared<bool>(false);
        QCoro::Task<> waiting = condition->until([holds] { return *holds; });
        *holds = true;
        condition->wake();
        condition.reset();
        test::runTask(std::move(waiting));
    }
};

QTEST_GUILESS_MAIN(FlowConditionTest)
#include "tst_flowcondition.moc"
