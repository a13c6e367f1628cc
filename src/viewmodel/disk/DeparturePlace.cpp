#include "viewmodel/disk/DeparturePlace.h"

#include "platform/IncrementalTreeMeasurer.h"
#include "viewmodel/disk/ArrivalPlace.h"

#include <algorithm>

namespace orvalink {

DeparturePlace::DeparturePlace(QString path)
    : m_path(std::move(path)), m_measurer(std::make_unique<platform::IncrementalTreeMeasurer>(m_path))
{}

DeparturePlace::~DeparturePlace() = default;

qint64 DeparturePlace::takeStock(const platform::CancellationToken& cancellation)
{
    m_stock = remeasuredBytes(m_path, *m_measurer, cancellation);
    return m_stock;
}

qint64 DeparturePlace::departedBytes(const platform::CancellationToken& cancellation)
{
    return std::clamp<qint64>(m_stock - remeasuredBytes(m_path, *m_measurer, cancellation), 0, m_stock);
}

} // namespace orvalink
