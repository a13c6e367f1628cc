#include "support/WorkerGate.h"

#include <QTest>

namespace orvalink::test {

void WorkerGate::pass(const QString& what)
{
    std::unique_lock lock(m_mutex);
    m_arrivals.append(what);
    m_opened.wait(lock, [this] { return m_open; });
}

bool WorkerGate::waitForArrivals(int count, std::chrono::milliseconds timeout)
{
    return QTest::qWaitFor([this, count] { return arrivals().size() >= count; }, int(timeout.count()));
}

QStringList WorkerGate::arrivals() const
{
    std::lock_guard lock(m_mutex);
    return m_arrivals;
}

void WorkerGate::open()
{
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
    }
    m_opened.notify_all();
}

std::function<void(const QString&, const QString&)> WorkerGate::atStaging(std::shared_ptr<WorkerGate> gate)
{
    return [gate](const QString& source, const QString&) {
        gate->pass(source);
    };
}

} // namespace orvalink::test
