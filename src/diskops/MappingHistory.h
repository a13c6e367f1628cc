#pragma once

#include "model/LinkMapping.h"

#include <QList>
#include <QString>

namespace orvalink {

class MappingStore;

// The mappings of the history scope in use, as the undo and repair services read them.
struct LoadedMappings {
    QString filePath;            // mappings.jsonl of the scope read at load time
    QList<LinkMapping> mappings; // in file order; empty when the file cannot be read
};

// Reads the store's scope once, then that scope's file. A read error gives an empty list.
LoadedMappings loadMappings(const MappingStore& store);

// True when `lhs` is strictly more recent than `rhs` (the later of created and updated dates).
bool isMoreRecent(const LinkMapping& lhs, const LinkMapping& rhs);

// Most recent first; mappings of equal recency keep their order.
void sortNewestFirst(QList<LinkMapping>& mappings);

} // namespace orvalink
