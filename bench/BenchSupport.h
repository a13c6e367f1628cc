#pragma once

#include "model/DirectoryEntry.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
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

// Processes events until `painted` has counted a paint after `before`; the milliseconds of `clock`
// at that moment.
double untilPainted(const PaintCounter& painted, int before, const QElapsedTimer& clock);

// The resident memory of this process, from /proc/self/status (0 when unreadable).
long residentKiB();

} // namespace orvalink::bench
