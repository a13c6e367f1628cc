#include "diskops/MappingHistory.h"

#include "store/HistoryStores.h"
#include "store/JSONLStore.h"

#include <algorithm>

namespace orvalink {

LoadedMappings loadMappings(const MappingStore& store)
{
    LoadedMappings loaded;
    loaded.filePath = store.filePath();
    try {
        loaded.mappings = JSONLStore::loadAll<LinkMapping>(loaded.filePath);
    } catch (...) {
        loaded.mappings.clear();
    }
    return loaded;
}

bool isMoreRecent(const LinkMapping& lhs, const LinkMapping& rhs)
{
    return lhs.recency() > rhs.recency();
}

void sortNewestFirst(QList<LinkMapping>& mappings)
{
    std::stable_sort(mappings.begin(), mappings.end(), isMoreRecent);
}

} // namespace orvalink
