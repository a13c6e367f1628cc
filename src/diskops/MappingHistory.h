#pragma once

#include "model/LinkMapping.h"

#include <QList>
#include <QSet>
#include <QUuid>
#include <optional>

namespace orvalink {

class MappingStore;

// The mappings of the history scope in use, as the undo and repair services read them: the store's
// scope is read once, then that scope's file line by line, keeping only what the caller asked for,
// so the cost in memory is that of the answer, not of the history. A file that cannot be read is an
// empty history.

// The `limit` most recent mappings, most recent first; equal recency keeps file order.
QList<LinkMapping> newestMappings(const MappingStore& store, qsizetype limit);

// The first mapping in file order whose id is `id`; the read stops there.
std::optional<LinkMapping> findMapping(const MappingStore& store, const QUuid& id);

// The mappings whose id is in `ids`, in file order.
QList<LinkMapping> mappingsWithIDs(const MappingStore& store, const QSet<QUuid>& ids);

// True when `lhs` is strictly more recent than `rhs` (the later of created and updated dates).
bool isMoreRecent(const LinkMapping& lhs, const LinkMapping& rhs);

} // namespace orvalink
