#include "model/OrvalinkError.h"
#include "support/TaskRunner.h"
#include "viewmodel/flow/BackgroundRunner.h"

#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>

using namespace orvalink;
using orvalink::test::runTask;

namespace {

QCoro::Task<QString> failingWork(BackgroundRunner& runner)
{
    auto work = runner.runCatching([]() -> int { throw OrvalinkError::sourceNotFound("/gone"); });
    auto result = co_await std::move(work);
    if (result.succeeded())
        co_return QStringLiteral("succeeded");
    try {
        std::rethrow_exception(result.error());
    } catch (const OrvalinkError& error) {
        co_return error.code() + QLatin1Char(' ') + error.path();
    }
    co_return QStringLiteral("other error");
}

QCoro::Task<QThread*> threadOfWork(BackgroundRunner& runner)
{
    auto work = runner.run([] { return QThread::currentThread(); });
    co_return co_await std::move(work);
}

QCoro::Task<QThread*> threadAfterAwait(BackgroundRunner& runner)
{
    auto work = runner.run([] { return 0; });
    co_await std::move(work);
    co_return QThread::currentThread();
}

QCoro::Task<> recordWhenDone(BackgroundRunner& runner, QSemaphore* gate, QString name, QStringList* order)
{
    auto work = runner.run([gate] { gate->acquire(); });
    co_await std::move(work);
    order->append(name);
}

QCoro::Task<bool> flagAfterWrite(BackgroundRunner& runner, std::atomic<bool>* flag)
{
    auto work = runner.run([flag] {
        QThread::msleep(20);
        flag->store(true);
    });
    co_await std::move(work);
    co_return flag->load();
}

QCoro::Task<bool> plainFormRethrows(BackgroundRunner& runner)
{
    try {
        auto work = runner.run([] { throw OrvalinkError::verifyFailed("/x"); });
        co_await std::move(work);
    } catch (const OrvalinkError& error) {
        co_return error.errorCase() == OrvalinkError::Case::verifyFailed;
    }
    co_return false;
}

QCoro::Task<> markWhenIdle(BackgroundRunner& runner, bool* idle)
{
    auto waiting = runner.whenIdle();
    co_await std::move(waiting);
    *idle = true;
}

} // namespace

class BackgroundRunnerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theThrownErrorComesBackAsItWas()
    {
        BackgroundRunner runner;
        QCOMPARE(runTask(failingWork(runner)), QStringLiteral("E005 /gone"));
    }

    void thePlainFormRethrowsOnTheAwaitingSide()
    {
        BackgroundRunner runner;
        QVERIFY(runTask(plainFormRethrows(runner)));
    }

    void workRunsOffTheMainThreadAndTheFlowResumesOnIt()
    {
        BackgroundRunner runner;
        QThread* const main = QThread::currentThread();
        QVERIFY(runTask(threadOfWork(runner)) != main);
        QCOMPARE(runTask(threadAfterAwait(runner)), main);
    }

    void anEmptyResultResumesOnlyAfterTheWork()
    {
        BackgroundRunner runner;
        std::atomic<bool> written = false;
        QVERIFY(runTask(flagAfterWrite(runner, &written)));
    }

    void laterCallsMayFinishFirst()
    {
        BackgroundRunner runner;
        QSemaphore first, second;
        QStringList order;
        recordWhenDone(runner, &first, QStringLiteral("first"), &order);
        recordWhenDone(runner, &second, QStringLiteral("second"), &order);
        second.release();
        QTRY_COMPARE(order, QStringList{QStringLiteral("second")});
        first.release();
        QTRY_COMPARE(order, (QStringList{QStringLiteral("second"), QStringLiteral("first")}));
    }

    void blockedWorkDoesNotHoldUpOtherWork()
    {
        // More blocked calls than this machine has cores: a pool sized by cores would starve.
        BackgroundRunner runner;
        QSemaphore gate;
        QStringList order;
        const int blocked = QThread::idealThreadCount() + 2;
        for (int i = 0; i < blocked; ++i)
            recordWhenDone(runner, &gate, QStringLiteral("blocked"), &order);
        QSemaphore open(1);
        recordWhenDone(runner, &open, QStringLiteral("free"), &order);
        QTRY_COMPARE(order, QStringList{QStringLiteral("free")});
        gate.release(blocked);
        QTRY_COMPARE(order.size(), blocked + 1);
    }

    // The safe close waits for exactly the work handed over before it asked, and may outlive the
    // runner.
    void idleOnlyOnceEveryPieceOfWorkHasFinished()
    {
        auto runner = std::make_unique<BackgroundRunner>();
        QSemaphore first, second;
        QStringList order;
        recordWhenDone(*runner, &first, QStringLiteral("first"), &order);
        recordWhenDone(*runner, &second, QStringLiteral("second"), &order);
        bool idle = false;
        markWhenIdle(*runner, &idle);
        second.release();
        QTRY_COMPARE(order, QStringList{QStringLiteral("second")});
        QVERIFY(!idle);
        first.release();
        QTRY_VERIFY(idle);

        bool idleAtOnce = false;
        markWhenIdle(*runner, &idleAtOnce);
        QTRY_VERIFY(idleAtOnce);

        QSemaphore third;
        recordWhenDone(*runner, &third, QStringLiteral("third"), &order);
        bool idleAfterRunner = false;
        markWhenIdle(*runner, &idleAfterRunner);
        third.release();
        runner.reset();
        QTRY_VERIFY(idleAfterRunner);
    }
};

QTEST_GUILESS_MAIN(BackgroundRunnerTest)
#include "tst_backgroundrunner.moc"
