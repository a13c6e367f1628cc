#pragma once

#include "diskops/UndoService.h"
#include "model/LinkMapping.h"
#include "viewmodel/disk/RestoreItem.h"
#include "viewmodel/state/BilingualText.h"
#include "viewmodel/state/WorkflowRecords.h"

#include <QList>
#include <QStringList>
#include <exception>
#include <optional>
#include <utility>

namespace orvalink {

class DiskWorkContext;

// How a settled restore reads and what the window says of it, for the undo of one record and for
// a run of several.

// An undo that brought the data home but could not rewrite its history: it counts as restored, and
// the listing and the history changed.
bool restoredAllTheSame(const std::exception_ptr& error);

// What an undo that brought the data home left on the volume, when it left anything: entries that
// exist only there (no undo: the record stays, and an append restore brings them home), or copies of
// what is home that the volume would not give up (the undo is done, see LeftBehindRecord). The one
// place that reads those outcomes of the undo service, for every restore: such an undo is no failure
// of the data, and the window keeps what stayed in view.
std::optional<LeftBehindRecord> leftOnVolumeOf(const SettledRestore& settled);

// The answer of a done undo of `result`, the same from every button: restored, and where and how
// many copies stayed on the volume when some did (`copies`).
BilingualText doneMessage(DiskWorkContext& context, const UndoResult& result,
                          const std::optional<LeftBehindRecord>& copies);

// The answer of an undo the user cancelled at its question.
BilingualText cancelledMessage(const LinkMapping& mapping);

// The tally of a run over several records.
struct BatchOutcome {
    QStringList restoredPaths;
    QList<LeftBehindRecord> leftBehind;
    QList<BilingualText> failureTexts;
    // The first done undo that left copies on the volume, and what it left.
    std::optional<std::pair<UndoResult, LeftBehindRecord>> firstCopies;
    qint64 successCount = 0;
    qint64 failureCount = 0;
    // Of the failures: left by the user's Cancel to a question.
    qint64 cancelledCount = 0;
};

// Counts one settled record of a batch into `batch` and the progress counters.
void countSettled(DiskWorkContext& context, BatchOutcome& batch, const LinkMapping& record,
                  const SettledRestore& settled);

// The status line and the alert of the finished run over `records`: copies that stayed are said
// with the summary, failures in the alert and, when no record came home, on the status line too.
void reportBatch(DiskWorkContext& context, const BatchOutcome& batch, const QList<LinkMapping>& records);

} // namespace orvalink
