#pragma once

#include "viewmodel/disk/DiskWorkContext.h"
#include "viewmodel/disk/ProgressMonitor.h"
#include "viewmodel/flow/BackgroundRunner.h"
#include "viewmodel/flow/FlowTicket.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <memory>
#include <optional>
#include <type_traits>

namespace orvalink {

namespace detail {

template <typename T>
QCoro::Task<std::optional<BackgroundResult<T>>> finishMonitoredCall(FlowTicket ticket,
                                                                    std::unique_ptr<ProgressMonitor> monitor,
                                                                    QCoro::Task<BackgroundResult<T>> call)
{
    auto outcome = co_await std::move(call);
    if (!ticket.isAlive())
        co_return std::nullopt;
    co_await stopProgressMonitor(std::move(monitor));
    if (!ticket.isAlive())
        co_return std::nullopt;
    co_return outcome;
}

} // namespace detail

// One blocking disk call of a flow (a migration, a restore) on the background runner, while a
// ProgressMonitor raises migrationProcessedBytes from `baseBytes` by what arrives at `observedPath`
// (up to `expectedBytes`). The monitor has stopped when the outcome is handed back, so the caller
// writes the item's final counters alone. None once `ticket` went stale: the call itself always
// runs to its end (migrated with its link, restored, or rolled back), whatever happens to the owner.
//
// `call` may use only what it captured by value (see BackgroundRunner).
template <typename Fn>
QCoro::Task<std::optional<BackgroundResult<std::invoke_result_t<Fn&>>>>
runMonitoredDiskCall(DiskWorkContext& context, FlowTicket ticket, const std::optional<QString>& observedPath,
                     qint64 expectedBytes, qint64 baseBytes, Fn call)
{
    auto monitor = ProgressMonitor::start(context, observedPath, expectedBytes, baseBytes);
    auto work = context.background().runCatching(std::move(call));
    return detail::finishMonitoredCall(std::move(ticket), std::move(monitor), std::move(work));
}

} // namespace orvalink
