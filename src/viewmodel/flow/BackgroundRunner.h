#pragma once

#include <QCoro/QCoroFuture>
#include <QCoro/QCoroTask>
#include <QFuture>
#include <QList>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace orvalink {

// What a piece of background work gave: its value, or the exception it threw.
template <typename T> class BackgroundResult {
public:
    using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

    BackgroundResult() = default;
    static BackgroundResult success(Value value)
    {
        BackgroundResult result;
        result.m_value = std::move(value);
        return result;
    }
    static BackgroundResult failure(std::exception_ptr error)
    {
        BackgroundResult result;
        result.m_error = std::move(error);
        return result;
    }

    // Runs `work` and keeps what it returns or throws.
    template <typename Fn> static BackgroundResult capture(Fn& work) noexcept
    {
        try {
            if constexpr (std::is_void_v<T>) {
                std::invoke(work);
                return success(std::monostate{});
            } else {
                return success(std::invoke(work));
            }
        } catch (...) {
            return failure(std::current_exception());
        }
    }

    bool succeeded() const { return !m_error; }
    const std::exception_ptr& error() const { return m_error; }
    const Value& value() const { return *m_value; }

    // The value, or the exception rethrown in the calling thread.
    Value takeValue()
    {
        if (m_error)
            std::rethrow_exception(m_error);
        return std::move(*m_value);
    }

private:
    std::optional<Value> m_value;
    std::exception_ptr m_error;
};

// Runs blocking work (listing and sizing directories, the scan cache, disk operations that may wait
// for an administrator dialog) off the main thread and hands the outcome back to the awaiting
// coroutine on the main thread. The pool is our own and wide, so work that blocks for long (a
// password dialog) does not hold up listings. Calls may finish in any order; callers that must
// drop an older result compare a request number.
//
// The work may use only what it was given: copied values and objects that outlive it (the owner
// destroys the runner, which waits for running work, before the services the work uses).
//
// Callers take the task first and await it in a statement of its own
// (`auto work = runner.run(...); auto value = co_await std::move(work);`): GCC 12 destroys a lambda
// written inside a co_await expression twice, which releases its captures twice.
class BackgroundRunner {
public:
    static constexpr int kMaximumThreads = 64;

    explicit BackgroundRunner(int maximumThreads = kMaximumThreads);
    ~BackgroundRunner();
    BackgroundRunner(const BackgroundRunner&) = delete;
    BackgroundRunner& operator=(const BackgroundRunner&) = delete;

    // The throwing form: never throws to the caller; the outcome carries the worker's exception.
    // The work is handed to the pool before this returns.
    template <typename Fn> QCoro::Task<BackgroundResult<std::invoke_result_t<Fn&>>> runCatching(Fn work)
    {
        using Result = BackgroundResult<std::invoke_result_t<Fn&>>;
        QFuture<Result> future =
            QtConcurrent::run(&m_pool, [work = std::move(work)]() mutable { return Result::capture(work); });
        remember(QFuture<void>(future));
        return outcomeOf(std::move(future));
    }

    // The plain form, for work that is not expected to throw: its value; should it throw after
    // all, the exception is rethrown here, on the main thread.
    template <typename Fn> QCoro::Task<std::invoke_result_t<Fn&>> run(Fn work)
    {
        return valueOf(runCatching(std::move(work)));
    }

    // Blocks until every piece of work has finished.
    void waitForDone();
    // Completes once every piece of work handed over so far has finished. Main thread only; the
    // task may outlive the runner.
    QCoro::Task<> whenIdle();

private:
    // Coroutines that take only the future or task, so the work itself never lives in a coroutine
    // frame.
    template <typename Result> static QCoro::Task<Result> outcomeOf(QFuture<Result> future)
    {
        co_return co_await future;
    }
    template <typename T> static QCoro::Task<T> valueOf(QCoro::Task<BackgroundResult<T>> outcome)
    {
        auto result = co_await std::move(outcome);
        if constexpr (std::is_void_v<T>)
            result.takeValue();
        else
            co_return result.takeValue();
    }

    void remember(QFuture<void> future);
    static QCoro::Task<> allFinished(QList<QFuture<void>> futures);

    // The work handed over and not yet seen finished (main thread only).
    QList<QFuture<void>> m_inFlight;
    QThreadPool m_pool;
};

} // namespace orvalink
