#include "diskops/MappingHistory.h"

#include "store/HistoryOrder.h"
#include "store/HistoryStores.h"
#include "store/JSONLStore.h"

namespace orvalink {

namespace {

// Every mapping of the scope's file to `visit` (which may stop the read by returning false); a read
// error ends the read and gives false.
template <typename Visit> bool readMappings(const MappingStore& store, Visit&& visit)
{
    try {
        JSONLStore::forEachRecord<LinkMapping>(store.filePath(), std::forward<Visit>(visit));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

QList<LinkMapping> newestMappings(const MappingStore& store, qsizetype limit)
{
    NewestMappings newest(limit);
    if (!readMappings(store, [&](LinkMapping&& mapping) { newest.offer(std::move(mapping)); }))
        return {};
    return newest.newestFirst();
}

std::optional<LinkMapping> findMapping(const MappingStore& store, const QUuid& id)
{
    std::optional<LinkMapping> found;
    const bool read = readMappings(store, [&](LinkMapping&& mapping) {
        if (mapping.id != id)
            return true;
        found = std::move(mapping);
        return false;
    });
    return read ? found : std::nullopt;
}

QList<LinkMapping> mappingsWithIDs(const MappingStore& store, const QSet<QUuid>& ids)
{
    QList<LinkMapping> chosen;
    if (ids.isEmpty())
        return chosen;
    if (!readMappings(store, [&](LinkMapping&& mapping) {
            if (ids.contains(mapping.id))
                chosen.append(std::move(mapping));
        }))
        return {};
    return chosen;
}

bool isMoreRecent(const LinkMapping& lhs, const LinkMapping& rhs)
{
    return lhs.recency() > rhs.recency();
}

} // namespace orvalink
