#include "viewmodel/disk/BatchHold.h"

namespace orvalink {

struct BatchHold::State {
    bool held = false;
};

BatchHold::BatchHold() : m_state(std::make_shared<State>()) {}

BatchHold::~BatchHold()
{
    setHeld(false);
}

void BatchHold::setHeld(bool held)
{
    m_state->held = held;
    if (!held)
        m_lifted.wake();
}

bool BatchHold::isHeld() const
{
    return m_state->held;
}

QCoro::Task<> BatchHold::passed() const
{
    // The batch's own copy of the state: it may outlive the owner.
    return m_lifted.until([state = m_state] { return !state->held; });
}

} // namespace orvalink
