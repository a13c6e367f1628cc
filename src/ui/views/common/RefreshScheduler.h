#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace orvalink::ui {

// Turns the many change signals of one workflow step into one repaint: each view has one refresh
// function that is a pure function of the state, and the signals of the values it shows only
// schedule it (a zero-interval single-shot timer). Main thread only.
class RefreshScheduler : public QObject {
    Q_OBJECT

public:
    RefreshScheduler(std::function<void()> refresh, QObject* parent);

    // Schedules the refresh on each of the given signals of `source`.
    template <typename Object, typename... Signals> void watch(const Object* source, Signals... signals)
    {
        (connect(source, signals, this, &RefreshScheduler::schedule), ...);
    }

    bool isPending() const { return m_timer.isActive(); }
    // Runs the refresh now when one is pending (tests, and before rendering off screen).
    void flush();
    // Runs the refresh now, pending or not.
    void refreshNow();

    // Runs every refresh pending in the schedulers below `root`.
    static void flushAll(const QObject* root);

public Q_SLOTS:
    void schedule();

Q_SIGNALS:
    // The refresh has run (tests count how often a view refreshes).
    void refreshed();

private:
    std::function<void()> m_refresh;
    QTimer m_timer;
};

} // namespace orvalink::ui
