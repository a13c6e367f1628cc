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
// The undo is done either way, so a merge that fails is not thrown: every move it made is put back,
// the occupant stays whole at `occupantPath`, the log says where it is (and, should putting it back
// fail too, that part of it is inside `source`), and the answer is none. The counts otherwise.
std::optional<AppendMergeOutcome> mergeOccupantIntoRestored(const FallbackFileOperations& files,
                                                            LogService& log, const QString& occupantPath,
                                                            const QString& source);

} // namespace orvalink
