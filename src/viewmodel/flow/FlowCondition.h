#pragma once

#include <QCoro/QCoroTask>
#include <functional>
#include <memory>

class QTimer;

namespace orvalink {

// A condition a flow waits for on the main thread: until() looks at it at once and again at each
// wake(), which its owner calls whenever the condition may have come true. No timer runs while the
// condition holds, and a waiting flow costs nothing but a timer a day. Main thread only.
//
// A waiting flow may outlive the owner: it keeps what it looks at (the timer that wakes it, and
// whatever `holds` captures), so the owner makes the condition true and wakes it a last time when it
// goes, and the flow finds its own reason to end (a stale ticket, say).
class FlowCondition {
public:
    FlowCondition();
    ~FlowCondition();
    FlowCondition(const FlowCondition&) = delete;
    FlowCondition& operator=(const FlowCondition&) = delete;

    // Completes once `holds()` answers true: at once when it does already, else at the wake() after
    // which it does.
    QCoro::Task<> until(std::function<bool()> holds) const;
    // Has a waiting until() look at its condition again.
    void wake();

private:
    std::shared_ptr<QTimer> m_woken;
};

} // namespace orvalink
