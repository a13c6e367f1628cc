#pragma once

#include "diskops/UndoService.h"
#include "model/LinkMapping.h"
#include "viewmodel/disk/RestoreQuestions.h"
#include "viewmodel/flow/BackgroundRunner.h"
#include "viewmodel/flow/FlowTicket.h"

#include <QCoro/QCoroTask>
#include <memory>
#include <optional>

namespace orvalink {

class DiskWorkContext;
class ScopedDiskServices;

// One item of a restore run, once settled: the outcome of its last attempt, or cancelled when the
// user answered a question of it with Cancel (nothing was restored then).
struct SettledRestore {
    BackgroundResult<UndoResult> outcome;
    bool cancelled = false;
    // Of a restore that left copies on the volume: how many entries the user finds there
    // (platform::countFoundEntries of UndoResult::leftCopyPaths).
    qint64 copiesFound = 0;
};

// Brings one item of a restore run to its end, under the progress monitor (from `base`, up to
// `expected` bytes). It is tried with the answers given so far; when the attempt asks a question no
// answer covers yet, the run publishes it, waits for the answer (DiskWorkContext::question()) and
// tries the same item again with every answer given. Copies left on the volume are counted as the
// user finds them. None once the ticket went stale.
QCoro::Task<std::optional<SettledRestore>> settleRestore(DiskWorkContext& context, FlowTicket ticket,
                                                         std::shared_ptr<const ScopedDiskServices> services,
                                                         LinkMapping mapping, UndoAnswers answers,
                                                         qint64 expected, qint64 base);

} // namespace orvalink
