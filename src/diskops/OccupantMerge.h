#pragma once

#include "diskops/DirectoryMerge.h"

#include <QString>
#include <optional>

namespace orvalink {

class FallbackFileOperations;
class LogService;

// The last step of an append restore, once the data is back at `source`: merges what stood there
// before, set aside whole at `occupantPath`, into it; the restored data keeps its own names, and the
// emptied occupant folder goes. Both must be real directories (never a link: a merge moves what it
// finds, and a link would hand it somebody else's folder).
//
// The undo is done either way, so a merge that fails and is put back is not thrown: every move it
// made is undone, the occupant stays whole at `occupantPath`, the log says where it is, and the
// answer is none. Should putting it back fail too, the occupant is split between `occupantPath` and
// `source`: the log says so and the merge's error is thrown, for the caller to keep the operation's
// record, which leads the next start to finish the merge (each item stands in one of the two folders).
// The counts otherwise.
std::optional<AppendMergeOutcome> mergeOccupantIntoRestored(const FallbackFileOperations& files,
                                                            LogService& log, const QString& occupantPath,
                                                            const QString& source);

} // namespace orvalink
