#include "viewmodel/disk/RunQuestion.h"

#include <optional>

namespace orvalink {

struct RunQuestion::State {
    std::optional<QUuid> waiting;
    std::optional<UndoConflictAnswer> given;
};

namespace {

// Only the state is touched after a suspension: it is the run's own copy.
QCoro::Task<UndoConflictAnswer> answerWhenGiven(std::shared_ptr<RunQuestion::State> state,
                                                QCoro::Task<> given)
{
    co_await std::move(given);
    const UndoConflictAnswer answer = *state->given;
    state->waiting.reset();
    state->given.reset();
    co_return answer;
}

} // namespace

RunQuestion::RunQuestion() : m_state(std::make_shared<State>()) {}

RunQuestion::~RunQuestion()
{
    cancel();
}

QCoro::Task<UndoConflictAnswer> RunQuestion::answerTo(const QUuid& id)
{
    m_state->waiting = id;
    m_state->given.reset();
    return answerWhenGiven(m_state, m_answered.until([state = m_state] { return state->given.has_value(); }));
}

bool RunQuestion::answer(const QUuid& id, UndoConflictAnswer answer)
{
    if (m_state->waiting != id || m_state->given)
        return false;
    m_state->given = answer;
    m_answered.wake();
    return true;
}

void RunQuestion::cancel()
{
    if (m_state->waiting)
        answer(*m_state->waiting, UndoConflictAnswer::cancel);
}

bool RunQuestion::isWaiting() const
{
    return m_state->waiting.has_value() && !m_state->given;
}

} // namespace orvalink
