#include "viewmodel/disk/BatchHold.h"

#include <QCoro/QCoroTimer>
#include <QTimer>
#include <chrono>

namespace orvalink {

struct BatchHold::State {
    bool held = false;
    // Fires when the hold is lifted. Shared with the waiting batch, which may outlive the owner.
    QTimer lifted;
};

namespace {

// Only the state is touched after a suspension: it is the batch's own copy.
QCoro::Task<> awaitLifted(std::shared_ptr<BatchHold::State> state)
{
    while (state->held) {
        // A day at most; lifting restarts it with 0.
        state->lifted.start(std::chrono::hours(24));
        co_await qCoro(state->lifted).waitForTimeout();
    }
}

} // namespace

BatchHold::BatchHold() : m_state(std::make_shared<State>())
{
    m_state->lifted.setSingleShot(true);
}

BatchHold::~BatchHold()
{
    setHeld(false);
}

void BatchHold::setHeld(bool held)
{
    m_state->held = held;
    if (!held && m_state->lifted.isActive())
        m_state->lifted.start(0);
}

bool BatchHold::isHeld() const
{
    return m_state->held;
}

QCoro::Task<> BatchHold::passed() const
{
    return awaitLifted(m_state);
}

} // namespace orvalink
