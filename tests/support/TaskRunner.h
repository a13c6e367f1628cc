#pragma once

#include <QCoro/QCoroTask>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>

namespace orvalink::test {

namespace detail {

template <typename T> struct TaskOutcome {
    std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> value{};
    std::exception_ptr error;
    bool finished = false;
    QEventLoop* loop = nullptr;
};

template <typename T> QCoro::Task<> driveTask(QCoro::Task<T> task, std::shared_ptr<TaskOutcome<T>> outcome)
{
    try {
        if constexpr (std::is_void_v<T>)
            co_await task;
        else
            outcome->value = co_await task;
    } catch (...) {
        outcome->error = std::current_exception();
    }
    outcome->finished = true;
    if (outcome->loop)
        outcome->loop->quit();
}

} // namespace detail

// Runs the event loop until `task` ends and returns its result or rethrows its exception (unlike
// QCoro::waitFor of QCoro 0.8, which never returns when the task throws). A task still running
// after `timeout` raises std::runtime_error.
template <typename T>
T runTask(QCoro::Task<T> task, std::chrono::milliseconds timeout = std::chrono::seconds(20))
{
    auto outcome = std::make_shared<detail::TaskOutcome<T>>();
    auto driver = detail::driveTask(std::move(task), outcome);
    if (!outcome->finished) {
        QEventLoop loop;
        outcome->loop = &loop;
        QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
        loop.exec();
        outcome->loop = nullptr;
    }
    if (!outcome->finished)
        throw std::runtime_error("the task did not finish in time");
    if (outcome->error)
        std::rethrow_exception(outcome->error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*outcome->value);
}

} // namespace orvalink::test
