#include "viewmodel/disk/RunQuestion.h"

#include <QCoro/QCoroTimer>
#include <QTimer>
#include <chrono>
#include <optional>

namespace orvalink {

struct RunQuestion::State {
    std::optional<QUuid> waiting;
    std::optional<UndoConflictAnswer> given;
    // Fires when the answer arrives. Shared with the waiting run, which may outlive the owner.
    QTimer arrived;
};

namespace {

// Only the state is touched after a suspension: it is the run's own copy.
QCoro::Task<UndoConflictAnswer> awaitAnswer(std::shared_ptr<RunQuestion::State> state, QUuid id)
{
    state->waiting = id;
    state->given.reset();
    while (!state->given) {
        // A day at most; an answer restarts it with 0.
        state->arrived.start(std::chrono::hours(24));
        co_await qCoro(state->arrived).waitForTimeout();
    }
    const UndoConflictAnswer answer = *state->given;
    state->waiting.reset();
    state->given.reset();
    co_return answer;
}

} // namespace

RunQuestion::RunQuestion() : m_state(std::make_shared<State>())
{
    m_state->arrived.setSingleShot(true);
}

RunQuestion::~RunQuestion()
{
    cancel();
}

QCoro::Task<UndoConflictAnswer> RunQuestion::answerTo(const QUuid& id)
{
    return awaitAnswer(m_state, id);
}

bool RunQuestion::answer(const QUuid& id, UndoConflictAnswer answer)
{
    if (m_state->waiting != id || m_state->given)
        return false;
    m_state->given = answer;
    if (m_state->arrived.isActive())
        m_state->arrived.start(0);
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
