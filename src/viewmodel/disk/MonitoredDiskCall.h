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
monitoredCall(DiskWorkContext* context, FlowTicket ticket, std::shared_ptr<ArrivalPlace> place,
              qint64 expectedBytes, qint64 baseBytes, Fn call)
{
    // What stands there before the call (an occupant, a target appended to) has not arrived: the
    // monitor counts from there.
    if (place && expectedBytes > 0) {
        co_await takeStockForProgress(*context, place);
        if (!ticket.isAlive())
            co_return std::nullopt;
    }
    auto monitor = ProgressMonitor::start(*context, std::move(place), expectedBytes, baseBytes);
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
// ProgressMonitor raises migrationProcessedBytes from `baseBytes` by what arrives at `place` beyond
// what stood there before (up to `expectedBytes`); no monitor without a place. The monitor has
// stopped when the outcome is handed back, so the caller writes the item's final counters alone.
// None once `ticket` went stale: a call that started always runs to its end (migrated with its link,
// restored, or rolled back), whatever happens to the owner; one whose owner closed while what stood
// there was measured never starts.
//
// `call` may use only what it captured by value (see BackgroundRunner).
template <typename Fn>
QCoro::Task<std::optional<BackgroundResult<std::invoke_result_t<Fn&>>>>
runMonitoredDiskCall(DiskWorkContext& context, FlowTicket ticket, std::shared_ptr<ArrivalPlace> place,
                     qint64 expectedBytes, qint64 baseBytes, Fn call)
{
    return detail::monitoredCall(&context, std::move(ticket), std::move(place), expectedBytes, baseBytes,
                                 std::move(call));
}

} // namespace orvalink
