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

// Publishes the question the refused restore of `mapping` asks (ActivityState::undoConflictPrompt,
// with its line in the info line), unless `given` answers it already: the source path is occupied
// (which forced mode), or programs hold the migrated item (end them). Returns the prompt's id, or
// none when `error` asks nothing still open; then nothing is published.
std::optional<QUuid> publishRestoreQuestion(ActivityState& activity, const Presentation& texts,
                                            const std::exception_ptr& error, const LinkMapping& mapping,
                                            const UndoAnswers& given);

// Adds `answer` to `given`; false for cancel, which ends the item unrestored.
bool takeRestoreAnswer(UndoAnswers& given, UndoConflictAnswer answer);

} // namespace orvalink
