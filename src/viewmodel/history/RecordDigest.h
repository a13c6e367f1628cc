#pragma once

#include "model/ContentDigest.h"
#include "store/JSONLStore.h"

namespace orvalink {

// What an upload remembers of each record it sent (the digest of its line in the history file), to
// tell afterwards whether the record changed, without holding the history.
template <typename Record> ContentDigest digestOf(const Record& record)
{
    return ContentDigest::of(JSONLStore::encodeLine(record.toJson()));
}

} // namespace orvalink
