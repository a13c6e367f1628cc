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

template <typename Fn>
QCoro::Task<std::optional<BackgroundResult<std::invoke_result_t<Fn&>>>>
monitoredCall(DiskWorkContext* context, FlowTicket ticket, std::optional<QString> observedPath,
              qint64 expectedBytes, qint64 baseBytes, Fn call)
{
    // What stands at the observed path before the call (an occupant, a target appended to) has not
    // arrived: the monitor counts from there.
    qint64 present = 0;
    if (observedPath && !observedPath->isEmpty() && expectedBytes > 0) {
        auto measuring = estimateBytesForProgress(*context, *observedPath);
        present = co_await std::move(measuring);
        if (!ticket.isAlive())
            co_return std::nullopt;
    }
    auto monitor = ProgressMonitor::start(*context, observedPath, expectedBytes, baseBytes, present);
    auto work = context->background().runCatching(std::move(call));
    auto outcome = co_await std::move(work);
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
// beyond what stood there before (up to `expectedBytes`). The monitor has stopped when the outcome is
// handed back, so the caller writes the item's final counters alone. None once `ticket` went stale:
// a call that started always runs to its end (migrated with its link, restored, or rolled back),
// whatever happens to the owner; one whose owner closed while what stood there was measured never
// starts.
//
// `call` may use only what it captured by value (see BackgroundRunner).
template <typename Fn>
QCoro::Task<std::optional<BackgroundResult<std::invoke_result_t<Fn&>>>>
runMonitoredDiskCall(DiskWorkContext& context, FlowTicket ticket, const std::optional<QString>& observedPath,
                     qint64 expectedBytes, qint64 baseBytes, Fn call)
{
    return detail::monitoredCall(&context, std::move(ticket), observedPath, expectedBytes, baseBytes,
                                 std::move(call));
}

} // namespace orvalink
