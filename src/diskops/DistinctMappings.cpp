#include "diskops/DistinctMappings.h"

#include "platform/StandardPath.h"

#include <algorithm>
#include <vector>

namespace orvalink {

void DistinctMappings::add(const LinkMapping& mapping, qint64 position)
{
    const qint64 recency = mapping.recency().toMSecsSinceEpoch();
    const ContentDigest key = ContentDigest::of(platform::standardizedPath(mapping.sourcePath).toUtf8());
    const auto slot = m_kept.find(key);
    if (slot == m_kept.end())
        m_kept.insert(key, Kept{recency, m_kept.size(), position});
    else if (recency > slot->recency)
        *slot = Kept{recency, slot->firstSeen, position};
}

QList<qint64> DistinctMappings::positions(qsizetype start, qsizetype count) const
{
    std::vector<Kept> order;
    order.reserve(size_t(m_kept.size()));
    for (const Kept& kept : m_kept)
        order.push_back(kept);
    const auto comesFirst = [](const Kept& lhs, const Kept& rhs) {
        return lhs.recency != rhs.recency ? lhs.recency > rhs.recency : lhs.firstSeen < rhs.firstSeen;
    };
    start = std::clamp<qsizetype>(start, 0, qsizetype(order.size()));
    const qsizetype end = start + std::clamp<qsizetype>(count, 0, qsizetype(order.size()) - start);
    std::partial_sort(order.begin(), order.begin() + end, order.end(), comesFirst);
    QList<qint64> positions;
    positions.reserve(end - start);
    for (qsizetype index = start; index < end; ++index)
        positions.append(order[size_t(index)].position);
    return positions;
}

} // namespace orvalink
