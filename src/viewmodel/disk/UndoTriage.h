#pragma once

#include "diskops/UndoIncomplete.h"
#include "diskops/UndoNotDone.h"
#include "diskops/UndoService.h"
#include "model/LinkMapping.h"
#include "model/OrvalinkError.h"
#include "viewmodel/state/BilingualText.h"
#include "viewmodel/state/WorkflowRecords.h"

#include <QString>
#include <exception>
#include <optional>

namespace orvalink {

class DiskWorkContext;
class Presentation;

// `error` as the OrvalinkError of `errorCase`; none for any other failure.
std::optional<OrvalinkError> errorOfCase(const std::exception_ptr& error, OrvalinkError::Case errorCase);

// Whether the programs of a sourceInUse `held` hold a file outside the data of `mapping` (neither at
// its source nor at its target): a newer version its migration, left waiting by a start, has not
// put in place yet.
bool heldOutsideTheData(const OrvalinkError& held, const LinkMapping& mapping);

// The failure text of a restore of `mapping`. However many entries an undo left on the volume, it
// names the folder they are in, how many they are and the log that lists them.
BilingualText undoFailureMessage(DiskWorkContext& context, const std::exception_ptr& error,
                                 const LinkMapping& mapping);

// The text of an undo that came home but left the entries of `record` on the volume: where, how
// many and the log that lists them; for entries that exist only there as undoFailureMessage() words
// it, with the append restore that brings them home; for copies, that the data is whole at home.
BilingualText leftBehindMessage(DiskWorkContext& context, const LeftBehindRecord& record);

// A restore of `mapping` that failed for good (its questions, see RestoreQuestions, are answered
// within the run): a permission failure also opens the access prompt, naming the path it needs the
// rights for; the text is the failure's.
BilingualText triageUndoFailure(DiskWorkContext& context, const std::exception_ptr& error,
                                const LinkMapping& mapping);

// The information text after a successful restore, forced or not, with the programs it ended.
BilingualText forceUndoSuccessMessage(const Presentation& texts, const UndoResult& result);

} // namespace orvalink
