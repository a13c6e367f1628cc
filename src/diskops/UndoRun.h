#pragma once

#include "diskops/FallbackFileOperations.h"
#include "diskops/OperationJournal.h"
#include "diskops/SiblingRestore.h"
#include "diskops/UndoService.h"
#include "platform/EntryStatus.h"

#include <optional>

namespace orvalink {

// One call of UndoService::undoMigration: everything that belongs to one undo lives here and dies
// with the call. Its phases, in order: finishing the migration when a start left it waiting, every
// refusal that needs nothing changed (the last one a
// record that cannot be written), ending the programs that hold the item when asked to, bringing
// the data home (where the comparison of what the copy took and the last look for programs happen,
// see restoreThroughSibling), settling what stood at the source, and recording the undo.
class UndoRun {
public:
    UndoRun(const UndoService& service, LinkMapping mapping, QString anchorUser, UndoAnswers answers);

    UndoResult execute();

private:
    // What stands at the source path when the undo begins: one look gives its kind and identity,
    // and every later step acts on that answer.
    enum class SourceOccupant {
        none,
        link,        // the migration's link, or any other: replaced by the data in one step
        emptyFolder, // removed before the data comes back
        occupied,    // anything else: only a forced restore may set it aside
    };
    // What stood at the source path of a forced restore, set aside while the data comes back.
    struct OccupantAside {
        QString path;
        bool merge = false; // an append of two real directories: merged into the data afterwards
    };

    void finishWaitingMigration();
    void refuse();
    void lookAtSource();
    void endHolders();
    void bringHome();
    // After a failed step of bringHome(): the occupant and else the link go back while the source
    // path is free and the data is still at the target; throws what the user is to hear.
    [[noreturn]] void putBackAndThrow(const std::exception_ptr& failure);
    bool nothingChanged() const;
    void moveOccupantAside();
    void putOccupantBack() const;
    void settleOccupant();
    UndoResult recordUndo();
    void recordTask(const QDateTime& at) const;
    void logRefusal(const QString& reason, const QString& target) const;

    const UndoService& m_service;
    const FallbackFileOperations m_files;
    const LinkMapping m_mapping;
    const QString m_anchorUser;
    const UndoAnswers m_answers;

    QString m_source;
    QString m_target;
    JournalRecord m_entry;
    platform::EntryKind m_migrated = platform::EntryKind::none;
    SourceOccupant m_occupant = SourceOccupant::none;
    std::optional<OccupantAside> m_plannedAside;
    bool m_asideMoved = false;
    std::optional<OperationJournal> m_journal;
    QStringList m_terminated;
    // Ended on request because they held a newer version a start left waiting.
    QStringList m_heldEnded;
    RestoredLeftovers m_leftovers;
    std::optional<ForceUndoRestoreSummary> m_summary;
    // A merge of the occupant cut short for good: part of the occupant is inside the data, and only
    // the operation's record leads to the rest, so the record is never finished here.
    bool m_splitMerge = false;
};

} // namespace orvalink
