// What the progress monitor costs a cross-device migration: moves a tree to another file system and
// back, ROUNDS times, once without and once with the monitor's measurement of the arriving tree
// (the same incremental measurement and pause as the progress monitor, on a thread of its own), and prints
// the median time of each and the overhead.
//
//   orvalink-bench-monitor SOURCE OTHER_FS_DIR [--rounds 5] [--interval-ms 250]
//
// SOURCE is a tree made with orvalink-bench-tree; OTHER_FS_DIR lies on another file system (a tmpfs).

#include "BenchSupport.h"
#include "platform/FileMove.h"
#include "platform/IncrementalTreeMeasurer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace orvalink;

namespace {

// Samples `path` like the monitor until stopped: a walk, then a pause, again and again.
class Sampler {
public:
    Sampler(QString path, std::chrono::milliseconds interval)
        : m_thread([this, path, interval] {
              platform::IncrementalTreeMeasurer measurer(path);
              std::unique_lock lock(m_mutex);
              while (!m_stop) {
                  lock.unlock();
                  try {
                      measurer.measure(m_cancellation);
                      ++samples;
                  } catch (const platform::WalkCancelled&) {
                  }
                  lock.lock();
                  m_wake.wait_for(lock, interval, [this] { return m_stop; });
              }
          })
    {}
    ~Sampler()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_cancellation.cancel();
        m_wake.notify_all();
        m_thread.join();
    }
    int samples = 0;

private:
    platform::CancellationToken m_cancellation = platform::CancellationToken::create();
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int rounds = 5;
    int intervalMs = 250;
    for (qsizetype i = args.size() - 2; i >= 0; --i) {
        if (args.at(i) == QLatin1String("--rounds") || args.at(i) == QLatin1String("--interval-ms")) {
            (args.at(i) == QLatin1String("--rounds") ? rounds : intervalMs) = args.at(i + 1).toInt();
            args.remove(i, 2);
        }
    }
    QTextStream out(stdout);
    if (args.size() != 2 || rounds < 1) {
        QTextStream(stderr)
            << "usage: orvalink-bench-monitor SOURCE OTHER_FS_DIR [--rounds N] [--interval-ms N]\n";
        return 2;
    }
    const QString source = QFileInfo(args.at(0)).absoluteFilePath();
    const QString target = QFileInfo(args.at(1)).absoluteFilePath() + QStringLiteral("/moved");
    std::vector<double> plain;
    std::vector<double> monitored;
    int samples = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const bool withMonitor : {false, true}) {
            QElapsedTimer timer;
            timer.start();
            {
                std::unique_ptr<Sampler> sampler;
                if (withMonitor)
                    sampler = std::make_unique<Sampler>(target, std::chrono::milliseconds(intervalMs));
                platform::moveItem(source, target);
                if (sampler)
                    samples += sampler->samples;
            }
            (withMonitor ? monitored : plain).push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            platform::moveItem(target, source);
        }
    }
    const double a = bench::median(plain);
    const double b = bench::median(monitored);
    out << "without monitor: " << a << " ms\nwith monitor:    " << b << " ms (" << samples
        << " samples)\noverhead:        " << (b - a) / a * 100.0 << " %\n";
    return 0;
}
