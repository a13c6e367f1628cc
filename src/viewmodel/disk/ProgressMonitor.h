#pragma once

#include "platform/CancellationToken.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <memory>
#include <optional>

namespace orvalink {

class DiskWorkContext;
class ScanService;

// Bytes present at `path` for the progress figures: the tree of a directory (links inside count
// nothing), the larger of the length and the allocated blocks of a file, 0 for anything else. A
// link at `path` itself is not followed: during an undo the link still stands where the data
// arrives, and following it would count the whole tree at once. Throws platform::WalkCancelled
// when `cancellation` fires during a walk. Blocking.
qint64 readSizeForProgress(const QString& path, const ScanService& scan,
                           const platform::CancellationToken& cancellation = {});

// The bytes arriving at a path while a blocking disk operation runs elsewhere. Samples every
// WorkflowSettings::progressInterval (counted from the end of one walk to the start of the next)
// and only ever raises migrationProcessedBytes, never above base + expected. Only what comes beyond
// the bytes present at the start counts: an occupant merged into, or a target appended to, has not
// arrived.
//
// The owner stops the monitor (and awaits that) before it writes the item's final counters; a
// stop cuts a running walk and a pending pause short.
class ProgressMonitor {
public:
    // No monitor for an absent or empty path or for expected bytes of 0 or below.
    static std::unique_ptr<ProgressMonitor> start(DiskWorkContext& context,
                                                  const std::optional<QString>& path, qint64 expectedBytes,
                                                  qint64 baseProcessedBytes, qint64 presentBytes = 0);
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

// readSizeForProgress off the main thread; 0 when it fails or the owner closes meanwhile.
QCoro::Task<qint64> estimateBytesForProgress(DiskWorkContext& context, QString path);

// Closes the counters of a one-item operation: at least one item processed; a success counts one
// success and all bytes, a failure one failure with the bytes where the monitor left them.
void finishSingleItemProgress(DiskWorkContext& context, bool success);

} // namespace orvalink
