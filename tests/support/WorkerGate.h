#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace orvalink::test {

// Holds background work at one point until the test lets it through, so a test acts while an item
// is midway however fast or slow the disk is: a worker calls pass() and blocks there; the test waits
// for the arrival, does what it wants to test, then opens the gate. Thread-safe.
//
// Share it with the work as a shared_ptr (the callbacks below do) and open it before the work is
// waited for, or the waiting never ends; the destructor opens it as a last resort.
class WorkerGate {
public:
    WorkerGate() = default;
    ~WorkerGate() { open(); }
    WorkerGate(const WorkerGate&) = delete;
    WorkerGate& operator=(const WorkerGate&) = delete;

    // On the worker: notes `what` arrived and blocks until the gate is open (at once once it is).
    void pass(const QString& what);
    // On the main thread: runs its events until `count` arrivals in all, at most `timeout`.
    bool waitForArrivals(int count, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // What arrived so far, in order.
    QStringList arrivals() const;
    // Lets every held worker through, and every later one at once.
    void open();

    // For MigrationEngine::StagedCallback: holds each migrated item (named by its source) after it
    // has moved into its staging sibling, before it is copied to the target.
    static std::function<void(const QString&, const QString&)> atStaging(std::shared_ptr<WorkerGate> gate);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_opened;
    QStringList m_arrivals;
    bool m_open = false;
};

} // namespace orvalink::test
