#pragma once

#include "platform/CancellationToken.h"

#include <QString>
#include <memory>

namespace orvalink {

namespace platform {
class IncrementalTreeMeasurer;
}

// The bytes gone from a path since it took stock, for the progress of work that clears it away (the
// start-up removing what an interrupted operation no longer needs). Counted as ArrivalPlace counts
// what arrives; a path that is gone has lost all it held. Used by one thread at a time.
class DeparturePlace {
public:
    explicit DeparturePlace(QString path);
    ~DeparturePlace();
    DeparturePlace(const DeparturePlace&) = delete;
    DeparturePlace& operator=(const DeparturePlace&) = delete;

    // Measures what stands there now, from which departures count, and returns it. Blocking;
    // throws platform::WalkCancelled.
    qint64 takeStock(const platform::CancellationToken& cancellation);
    // The bytes gone since takeStock(), never more than it found, measuring again only what may
    // have changed since the previous call. Blocking; throws platform::WalkCancelled.
    qint64 departedBytes(const platform::CancellationToken& cancellation);

private:
    QString m_path;
    qint64 m_stock = 0;
    std::unique_ptr<platform::IncrementalTreeMeasurer> m_measurer;
};

} // namespace orvalink
