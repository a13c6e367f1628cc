#pragma once

#include "ViewModelFixture.h"
#include "diskops/OperationJournal.h"
#include "platform/CommandRunner.h"
#include "support/FileOpenGate.h"
#include "support/TmpfsMount.h"
#include "support/WorkerGate.h"

#include <atomic>
#include <functional>
#include <memory>

namespace orvalink::test {

// A view model whose target root lies on a tmpfs "External" in the volumes directory, so every
// migration crosses file systems. Strict mode stays on (the home lies below the build tree).
// Volume UUIDs come from fake device folders in the home (setVolumeUUID). Needs root for the
// mount: check skipReason() first.
class WorkflowFixture {
public:
    explicit WorkflowFixture(UILanguage language = UILanguage::english,
                             qint64 volumeBytes = 64 * 1024 * 1024);
    // Opens the copy gate: the view model's end waits for the engine.
    ~WorkflowFixture();

    std::optional<QString> skipReason() const;
    QString volumePath() const { return fx.home.volumes() + QStringLiteral("/External"); }
    QString targetRoot() const { return volumePath() + QStringLiteral("/Store"); }
    QString targetOf(const QString& source) const { return targetRoot() + source; }
    void setVolumeUUID(const QString& mountPoint, const QString& uuid);

    // The view model, built on first use (after the volume is mounted and the settings written).
    MainViewModel& vm();

    ViewModelFixture fx;
    TestTree& tree = fx.tree;
    std::unique_ptr<TmpfsMount> volume;
    // When set before the first vm(), every migrated item waits in its staging sibling, before its
    // copy, until the test opens the gate.
    std::shared_ptr<WorkerGate> copyGate;
    // When set before the first vm(), the administrator's commands go to it instead of pkexec.
    std::shared_ptr<platform::CommandRunner> administrator;
    std::unique_ptr<MainViewModel> viewModel;
};

// Runs a workflow to its end on the event loop.
void finish(QCoro::Task<> flow);

// Selects `paths` and migrates them as one batch, to its end.
void migrate(MainViewModel& vm, const QStringList& paths);

// A folder "Alpha" (holding a.txt) migrated, then its source path taken again by a folder holding
// new.txt, as a user's program re-creates it: an undo of it meets an occupied source. Its path.
QString migrateThenOccupy(WorkflowFixture& fixture);

// A program that writes the file `name` (holding "late") into the migrated folder of `source` on the
// volume while an undo of it runs: once the undo has copied the data home, before the volume's copy
// goes, so the undo leaves that file on the volume. Watches while it lives; needs root (see
// skipReason()).
class WriterDuringUndo {
public:
    WriterDuringUndo(WorkflowFixture& fixture, const QString& source, const QString& name);

    std::optional<QString> skipReason() const { return m_gate->skipReason(); }
    // Where it wrote, once it has.
    QString writtenPath() const;
    bool hasWritten() const { return *m_written; }

private:
    QString m_path;
    std::shared_ptr<std::atomic<bool>> m_written = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<FileOpenGate> m_gate;
};

// A restore run that a test answers as the user would: started on construction, it is watched until
// it ends.
class QuestionedRun {
public:
    QuestionedRun(MainViewModel& vm, QCoro::Task<> flow);

    // Waits (at most 20 s) until the run asks a question or ends; the question, or none when it
    // ended without asking.
    std::optional<UndoConflictPrompt> question();
    // Gives `answer` to the question `asked` and waits (at most 60 s) until the run asks another
    // question or ends; the next question, or none when it ended.
    std::optional<UndoConflictPrompt> answer(const UndoConflictPrompt& asked, UndoConflictAnswer answer);
    bool hasEnded() const { return *m_ended; }

private:
    std::optional<UndoConflictPrompt> nextQuestion(const std::optional<QUuid>& answered, int milliseconds);

    MainViewModel& m_vm;
    std::shared_ptr<bool> m_ended = std::make_shared<bool>(false);
};

// Two folders for a batch that a test interrupts while the copy gate holds its first item: "Alpha"
// (a small tree in four folders, distinct times) and "Beta", which a batch migrates after it, with
// their snapshots before the run. Sets the fixture's copy gate: call it before vm().
struct TwoFolderBatch {
    QString first;
    QString second;
    QStringList firstBefore;
    QStringList secondBefore;
};
TwoFolderBatch makeTwoFolderBatch(WorkflowFixture& fixture);

// Selects `paths`, starts their migration and waits (at most 20 s) until the copy gate holds the
// first item; false on time-out.
[[nodiscard]] bool startHeldMigration(WorkflowFixture& fixture, const QStringList& paths);

// Empty when `source` was never migrated: the copy gate never saw it, it stands as `before` and
// nothing lies at its target; otherwise what is wrong.
QString neverMigrated(WorkflowFixture& fixture, const QString& source, const QStringList& before);

// Starts a new state object over the fixture's home (the earlier one must be gone) and runs its
// start-up: empty when it reports exactly the run that moved `migrated` (in path order) and
// nothing else, that is no operation left to put right, no recovery or error line, no task,
// mapping or failed record for another path and no interrupted operation in the log; otherwise
// what it reported beyond that.
QString freshStartReports(WorkflowFixture& fixture, const QStringList& migrated);

// Moves the folder at `source` into its staging sibling and leaves the record of a migration to
// `w`'s target root that stopped there, as a killed process would. `change` adjusts the record once
// the staging path holds the folder.
JournalRecord leaveStagedMigration(WorkflowFixture& w, const QString& source,
                                   const std::function<void(JournalRecord&)>& change = {});

// A copy of the tree at `from` at `to` (its folder made first), as `cp -a` makes it.
void copyTree(const QString& from, const QString& to);

} // namespace orvalink::test
