#pragma once

#include "viewmodel/flow/FlowCondition.h"
#include "viewmodel/state/WorkflowRecords.h"

#include <QCoro/QCoroTask>
#include <QUuid>
#include <memory>

namespace orvalink {

// The question a restore run waits on, so that the user's answer goes back to the run that asked
// rather than to a fresh one. The run publishes its prompt, then awaits answerTo() with the
// prompt's id; the answer (answer()), or the owner's close (cancel()), resumes it. Disk runs
// exclude each other, so at most one question waits. Main thread only.
//
// The owner cancels on retirement and on destruction, so a waiting run always goes on, to find its
// ticket stale when the owner closed.
class RunQuestion {
public:
    RunQuestion();
    ~RunQuestion();
    RunQuestion(const RunQuestion&) = delete;
    RunQuestion& operator=(const RunQuestion&) = delete;

    // Completes with the answer given to the question `id`: cancel when the owner closes first.
    QCoro::Task<UndoConflictAnswer> answerTo(const QUuid& id);
    // Gives `answer` to the question `id`; false when no run waits on that question (an answer that
    // came too late, or to a question nobody asked).
    bool answer(const QUuid& id, UndoConflictAnswer answer);
    // Answers the waiting question, if any, with cancel.
    void cancel();
    bool isWaiting() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
    FlowCondition m_answered;
};

} // namespace orvalink
