#include "viewmodel/flow/FlowCondition.h"

#include <QCoro/QCoroTimer>
#include <QTimer>
#include <chrono>

namespace orvalink {

namespace {

// Only what the flow was handed is touched after a suspension: it may outlive the owner.
QCoro::Task<> waitUntil(std::shared_ptr<QTimer> woken, std::function<bool()> holds)
{
    while (!holds()) {
        // A day at most; a wake restarts it with 0.
        woken->start(std::chrono::hours(24));
        co_await qCoro(*woken).waitForTimeout();
    }
}

} // namespace

FlowCondition::FlowCondition() : m_woken(std::make_shared<QTimer>())
{
    m_woken->setSingleShot(true);
}

FlowCondition::~FlowCondition() = default;

QCoro::Task<> FlowCondition::until(std::function<bool()> holds) const
{
    return waitUntil(m_woken, std::move(holds));
}

void FlowCondition::wake()
{
    if (m_woken->isActive())
        m_woken->start(0);
}

} // namespace orvalink
