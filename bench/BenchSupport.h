#pragma once

#include "model/DirectoryEntry.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <vector>

namespace orvalink::bench {

// Names as a large download or photo folder holds them: words, numbers, extensions, some accented
// and Chinese names, some hidden ones; a fifth are folders. The same seed gives the same listing.
QList<DirectoryEntry> syntheticListing(int count,
                                       const QString& folder = QStringLiteral("/home/bench/Downloads"));

// The median of the samples (the mean of the middle two for an even count; 0 for none).
double median(std::vector<double> samples);

// How long `work` took, in milliseconds.
double milliseconds(const std::function<void()>& work);

// Counts the paint events of the object it filters (a list's viewport), so a step can wait for its
// frame.
class PaintCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// A wait that did not end within its bound: the benchmark fails with the message instead of waiting
// for ever (a list below the fold is never painted).
class Timeout : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Processes events until `painted` has counted a paint after `before`; the milliseconds of `clock`
// at that moment. Throws Timeout, naming `what`, when no paint comes within `limit`.
double untilPainted(const PaintCounter& painted, int before, const QElapsedTimer& clock,
                    const char* what = "a paint of the list",
                    std::chrono::milliseconds limit = std::chrono::seconds(30));

// Processes events until `condition` holds; throws Timeout, naming `what`, after `limit`.
void waitUntil(const std::function<bool()>& condition, const char* what, std::chrono::milliseconds limit);

// Runs a benchmark's body; a Timeout ends it with its message on standard error and exit code 1.
int runReportingTimeouts(const std::function<int()>& body);

// The resident memory of this process, from /proc/self/status (0 when unreadable).
long residentKiB();

// Points HOME, the XDG folders and the ORVALINK_* folders into `root` (a temporary directory), so a
// benchmark reads and writes nothing of the user's; no account service is configured.
void useTemporaryHome(const QString& root);

} // namespace orvalink::bench
