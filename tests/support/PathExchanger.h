#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <thread>

namespace orvalink::test {

// Another process at work on the same folders: a thread that exchanges the entries at two paths
// (renameat2 with RENAME_EXCHANGE) over and over, from construction until the object dies, so
// that whatever runs meanwhile finds either entry at either path at any moment. Exchanges that
// fail (one path empty) are simply tried again.
class PathExchanger {
public:
    // `pause`: how many times the thread gives way to others after each exchange, so that each
    // state stands long enough for a whole look at it (and an act on what was seen).
    PathExchanger(const QString& first, const QString& second, int pause = 0);
    ~PathExchanger();
    PathExchanger(const PathExchanger&) = delete;
    PathExchanger& operator=(const PathExchanger&) = delete;

    // Returns once at least `count` exchanges were tried, so a race begins with the thread running.
    void waitForExchanges(int count) const;

private:
    QByteArray m_first;
    QByteArray m_second;
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_exchanges = 0;
    std::thread m_thread;
};

} // namespace orvalink::test
