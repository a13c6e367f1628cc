#pragma once

#include "viewmodel/state/BilingualText.h"

#include <QString>
#include <optional>

namespace orvalink {

// The counters of a running batch of migrations or undos and the figures of its progress panel.
// The owner copies its published counters in; nothing here is stored between reads.
struct MigrationProgress {
    qint64 totalItems = 0;
    qint64 processedItems = 0;
    qint64 totalBytes = 0;
    qint64 processedBytes = 0;
    std::optional<QString> currentPath;
    bool isMigrating = false;
    bool isUndoing = false;

    // processed / total items, 0 for a total below 1; not clamped, so more processed than total
    // items shows above 1.
    double itemRatio() const;
    // processed / total bytes, 0 for a total below 1, clamped into 0..1.
    double byteRatio() const;
    // How far the whole run is, as the panel shows it: the byte ratio while bytes are counted, else
    // the item ratio, clamped into 0..1. At most 0.99 while an item is still to be settled: the data
    // of an item may all have arrived while its last steps still run, and "100%" beside "Items 0/1"
    // would claim it done.
    double overallRatio() const;
    QString itemPercentText() const;
    QString bytePercentText() const;
    // "<processed>/<total>".
    QString countText() const;
    // "<processed size> / <total size>".
    QString bytesText() const;
    // The last component of the current path, or the waiting text when there is none.
    BilingualText currentItemName() const;
    // While a batch runs, and afterwards as long as its item total is above 0.
    bool shouldShow() const;
};

// A ratio as a whole percentage, halves rounded away from zero: 0.125 gives "13%".
QString percentText(double ratio);

} // namespace orvalink
