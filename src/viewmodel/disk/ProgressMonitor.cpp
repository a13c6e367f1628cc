#include "viewmodel/disk/ProgressMonitor.h"

#include "diskops/ScanService.h"
#include "viewmodel/context/WorkflowSettings.h"
#include "viewmodel/disk/DiskWorkContext.h"
#include "viewmodel/flow/BackgroundRunner.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/ViewModelServices.h"

#include <QCoro/QCoroTimer>
#include <QTimer>
#include <algorithm>

namespace orvalink {

struct ProgressMonitor::State {
    platform::CancellationToken cancellation = platform::CancellationToken::create();
    // The pause between samples; restarted with 0 to end the pause at once on a stop.
    QTimer pause;
};

namespace {

// Touches what it was given only while `ticket` is alive: the monitor may be resumed after its owner
// is gone.
QCoro::Task<> sample(BackgroundRunner* background, FlowTicket ticket, std::chrono::milliseconds interval,
                     ProgressMonitor::Measure measure, ProgressMonitor::Sink sink,
                     std::shared_ptr<ProgressMonitor::State> state)
{
    const platform::CancellationToken cancellation = state->cancellation;
    while (!cancellation.isCancelled() && ticket.isAlive()) {
        auto walk = background->runCatching([measure, cancellation] { return measure(cancellation); });
        auto measured = co_await std::move(walk);
        if (cancellation.isCancelled() || !ticket.isAlive())
            co_return;
        sink(measured.succeeded() ? measured.value() : 0);
        state->pause.start(interval);
        co_await qCoro(state->pause).waitForTimeout();
    }
}

} // namespace

std::unique_ptr<ProgressMonitor> ProgressMonitor::start(DiskWorkContext& context,
                                                        std::shared_ptr<ArrivalPlace> place,
                                                        qint64 expectedBytes, qint64 baseProcessedBytes)
{
    if (!place || expectedBytes <= 0)
        return nullptr;
    ActivityState* activity = &context.activity();
    return follow(
        context.background(), context.ticket(), context.workflowSettings().progressInterval,
        [place](const platform::CancellationToken& cancellation) {
            return place->arrivedBytes(cancellation);
        },
        [activity, expectedBytes, baseProcessedBytes](qint64 arrived) {
            const qint64 candidate = baseProcessedBytes + std::min(arrived, expectedBytes);
            activity->setMigrationProcessedBytes(std::max(activity->migrationProcessedBytes(), candidate));
        });
}

std::unique_ptr<ProgressMonitor> ProgressMonitor::follow(BackgroundRunner& background, FlowTicket ticket,
                                                         std::chrono::milliseconds interval, Measure measure,
                                                         Sink sink)
{
    auto state = std::make_shared<State>();
    state->pause.setSingleShot(true);
    auto sampling =
        sample(&background, std::move(ticket), interval, std::move(measure), std::move(sink), state);
    return std::unique_ptr<ProgressMonitor>(new ProgressMonitor(std::move(state), std::move(sampling)));
}

ProgressMonitor::ProgressMonitor(std::shared_ptr<State> state, QCoro::Task<> sampling)
    : m_state(std::move(state)), m_sampling(std::move(sampling))
{}

ProgressMonitor::~ProgressMonitor()
{
    m_state->cancellation.cancel();
    if (m_state->pause.isActive())
        m_state->pause.start(0);
}

QCoro::Task<> ProgressMonitor::stop()
{
    m_state->cancellation.cancel();
    if (m_state->pause.isActive())
        m_state->pause.start(0);
    co_await std::move(m_sampling);
}

QCoro::Task<> stopProgressMonitor(std::unique_ptr<ProgressMonitor> monitor)
{
    if (monitor)
        co_await monitor->stop();
}

QCoro::Task<> takeStockForProgress(DiskWorkContext& context, std::shared_ptr<ArrivalPlace> place)
{
    const std::shared_ptr<ScanService> scan = context.services().scanService;
    auto stock = context.background().runCatching(
        [place, scan, walks = context.walks()] { place->takeStock(*scan, walks); });
    co_await std::move(stock);
}

QCoro::Task<qint64> estimateBytesForProgress(DiskWorkContext& context, QString path)
{
    const std::shared_ptr<ScanService> scan = context.services().scanService;
    auto work = context.background().runCatching(
        [scan, path, walks = context.walks()] { return readSizeForProgress(path, *scan, walks); });
    auto measured = co_await std::move(work);
    co_return measured.succeeded() ? measured.value() : 0;
}

void finishSingleItemProgress(DiskWorkContext& context, bool success)
{
    context.activity().setMigrationProcessedItems(
        std::max<qint64>(context.activity().migrationTotalItems(), 1));
    if (success) {
        context.activity().setMigrationSucceededItems(
            std::max<qint64>(context.activity().migrationSucceededItems(), 1));
        context.activity().setMigrationProcessedBytes(context.activity().migrationTotalBytes());
    } else {
        context.activity().setMigrationFailedItems(
            std::max<qint64>(context.activity().migrationFailedItems(), 1));
    }
    context.activity().setMigrationCurrentPath(std::nullopt);
}

} // namespace orvalink
