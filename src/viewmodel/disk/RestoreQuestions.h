#pragma once

#include "diskops/UndoService.h"
#include "model/LinkMapping.h"
#include "viewmodel/state/WorkflowRecords.h"

#include <QUuid>
#include <exception>
#include <optional>

namespace orvalink {

class ActivityState;
class Presentation;

// What the user answered to the questions of one item of a restore run. The answers travel
// together into every further attempt at that item: a forced restore that meets programs is not
// asked its mode again, and programs ended are not asked about again.
struct RestoreAnswers {
    std::optional<ForcedUndoRestoreMode> mode;
    bool endPrograms = false;
};

// Publishes the question the refused restore of `mapping` asks (ActivityState::undoConflictPrompt,
// with its line in the info line), unless `given` answers it already: the source path is occupied
// (which forced mode), or programs hold the migrated item (end them). Returns the prompt's id, or
// none when `error` asks nothing still open; then nothing is published.
std::optional<QUuid> publishRestoreQuestion(ActivityState& activity, const Presentation& texts,
                                            const std::exception_ptr& error, const LinkMapping& mapping,
                                            const RestoreAnswers& given);

// Adds `answer` to `given`; false for cancel, which ends the item unrestored.
bool takeRestoreAnswer(RestoreAnswers& given, UndoConflictAnswer answer);

} // namespace orvalink
