#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace orvalink::ui {

// Turns the many change signals of one workflow step into one repaint: each view has one refresh
// function that is a pure function of the state, and every signal it watches only schedules it
// (a zero-interval single-shot timer). Main thread only.
class RefreshScheduler : public QObject {
    Q_OBJECT

public:
    RefreshScheduler(std::function<void()> refresh, QObject* parent);

    // Schedules the refresh on every signal of `source` (its own and its base classes', except
    // destroyed() and objectNameChanged()).
    void watchAllSignals(const QObject* source);
    // Schedules the refresh on the given signal only.
    template <typename Object, typename Signal> void watch(const Object* source, Signal signal)
    {
        connect(source, signal, this, &RefreshScheduler::schedule);
    }

    bool isPending() const { return m_timer.isActive(); }
    // Runs the refresh now when one is pending (tests, and before rendering off screen).
    void flush();
    // Runs the refresh now, pending or not.
    void refreshNow();

public Q_SLOTS:
    void schedule();

private:
    std::function<void()> m_refresh;
    QTimer m_timer;
};

} // namespace orvalink::ui
