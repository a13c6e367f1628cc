#pragma once

#include "viewmodel/flow/FlowCondition.h"

#include <QCoro/QCoroTask>
#include <memory>

namespace orvalink {

// Holds a migration or undo batch between two items while the window asks whether to close: the
// item on its way goes on to its end, the next one waits until the hold is lifted. Main thread only.
//
// A batch awaits passed() before each item and checks its ticket afterwards: the owner lifts the
// hold when it retires its flows, and on destruction, so a waiting batch always goes on, to find
// its ticket stale when the owner closed.
class BatchHold {
public:
    BatchHold();
    ~BatchHold();
    BatchHold(const BatchHold&) = delete;
    BatchHold& operator=(const BatchHold&) = delete;

    void setHeld(bool held);
    bool isHeld() const;

    // Completes at once while nothing is held, else once the hold is lifted.
    QCoro::Task<> passed() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
    FlowCondition m_lifted;
};

} // namespace orvalink
