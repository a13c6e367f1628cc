#pragma once

#include "viewmodel/disk/ArrivalPlace.h"
#include "viewmodel/flow/FlowTicket.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

namespace orvalink {

class BackgroundRunner;
class DiskWorkContext;

// The progress of a blocking disk operation that runs elsewhere, sampled by walks of what it
// changes: start() follows the bytes arriving at a place (see ArrivalPlace) every
// WorkflowSettings::progressInterval (counted from the end of one walk to the start of the next) and
// only ever raises migrationProcessedBytes, never above base + expected. Only what comes beyond what
// stood there when the place took stock counts: an occupant merged into, or a target appended to,
// has not arrived.
//
// The owner stops the monitor (and awaits that) before it writes the item's final counters; a
// stop cuts a running walk and a pending pause short.
class ProgressMonitor {
public:
    // A walk on the background runner (it may throw; that sample then counts 0), and what is done
    // with its result on the main thread.
    using Measure = std::function<qint64(const platform::CancellationToken& cancellation)>;
    using Sink = std::function<void(qint64 measured)>;

    // No monitor without a place or for expected bytes of 0 or below.
    static std::unique_ptr<ProgressMonitor> start(DiskWorkContext& context,
                                                  std::shared_ptr<ArrivalPlace> place, qint64 expectedBytes,
                                                  qint64 baseProcessedBytes);
    // Any other progress: `measure` runs on `background` every `interval` (counted from the end of
    // one walk to the start of the next) and `sink` takes each result, from the first on, while
    // `ticket` is alive.
    static std::unique_ptr<ProgressMonitor> follow(BackgroundRunner& background, FlowTicket ticket,
                                                   std::chrono::milliseconds interval, Measure measure,
                                                   Sink sink);
    ~ProgressMonitor();
    ProgressMonitor(const ProgressMonitor&) = delete;
    ProgressMonitor& operator=(const ProgressMonitor&) = delete;

    // Cancels and waits for the sampling to end; once it returns the monitor writes nothing more.
    QCoro::Task<> stop();

    struct State;

private:
    ProgressMonitor(std::shared_ptr<State> state, QCoro::Task<> sampling);

    std::shared_ptr<State> m_state;
    QCoro::Task<> m_sampling;
};

// Stops `monitor` when there is one.
QCoro::Task<> stopProgressMonitor(std::unique_ptr<ProgressMonitor> monitor);

// ArrivalPlace::takeStock off the main thread; what it cannot measure (the owner closing, say)
// counts as nothing present.
QCoro::Task<> takeStockForProgress(DiskWorkContext& context, std::shared_ptr<ArrivalPlace> place);

// readSizeForProgress off the main thread; 0 when it fails or the owner closes meanwhile.
QCoro::Task<qint64> estimateBytesForProgress(DiskWorkContext& context, QString path);

// Closes the counters of a one-item operation: at least one item processed; a success counts one
// success and all bytes, a failure one failure with the bytes where the monitor left them.
void finishSingleItemProgress(DiskWorkContext& context, bool success);

} // namespace orvalink
