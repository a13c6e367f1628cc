#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <QUuid>
#include <algorithm>
#include <cstdio>

namespace orvalink::bench {

QList<DirectoryEntry> syntheticListing(int count, const QString& folder)
{
    QRandomGenerator random(20240601);
    const QStringList words{"project",
                            "report",
                            "holiday",
                            "camera",
                            "backup",
                            "invoice",
                            "draft",
                            "final",
                            "meeting",
                            "photo",
                            "video",
                            "render",
                            "export",
                            "scan",
                            "notes",
                            "budget",
                            QStringLiteral("résumé"),
                            QStringLiteral("café"),
                            QStringLiteral("照片"),
                            QStringLiteral("会议记录"),
                            "IMG",
                            "DSC",
                            "Screenshot",
                            "build",
                            "cache"};
    const QStringList extensions{".jpg", ".png", ".mp4",   ".pdf", ".docx",
                                 ".zip", ".txt", ".swift", ".iso", ""};
    QList<DirectoryEntry> entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        DirectoryEntry entry;
        entry.id = QUuid::createUuid();
        QString name = words.at(random.bounded(int(words.size())));
        name += QLatin1Char(random.bounded(2) ? '_' : ' ') + words.at(random.bounded(int(words.size())));
        name += QLatin1Char('-') + QString::number(i);
        const bool directory = random.bounded(5) == 0;
        if (!directory)
            name += extensions.at(random.bounded(int(extensions.size())));
        if (random.bounded(20) == 0)
            name.prepend(QLatin1Char('.'));
        entry.name = name;
        entry.path = folder + QLatin1Char('/') + name;
        entry.kind = directory ? EntryKind::directory : EntryKind::file;
        entry.sizeBytes = qint64(random.bounded(1 << 30)) * (directory ? 2 : 1);
        entry.modifiedAt = QDateTime::fromSecsSinceEpoch(1600000000 + random.bounded(100000000), Qt::UTC);
        entry.isHidden = name.startsWith(QLatin1Char('.'));
        entries.append(entry);
    }
    return entries;
}

double milliseconds(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> samples)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const std::size_t middle = samples.size() / 2;
    return samples.size() % 2 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2.0;
}

bool PaintCounter::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Paint)
        ++count;
    return false;
}

namespace {

Timeout timedOut(const char* what, std::chrono::milliseconds limit)
{
    return Timeout(QStringLiteral("timed out after %1 ms waiting for %2")
                       .arg(limit.count())
                       .arg(QString::fromUtf8(what))
                       .toStdString());
}

} // namespace

double untilPainted(const PaintCounter& painted, int before, const QElapsedTimer& clock, const char* what,
                    std::chrono::milliseconds limit)
{
    QElapsedTimer waited;
    waited.start();
    // Polled without a pause: the time to the paint is what is measured.
    while (painted.count == before) {
        if (waited.elapsed() > limit.count())
            throw timedOut(what, limit);
        QCoreApplication::processEvents();
    }
    return double(clock.nsecsElapsed()) / 1e6;
}

void waitUntil(const std::function<bool()>& condition, const char* what, std::chrono::milliseconds limit)
{
    QElapsedTimer waited;
    waited.start();
    while (!condition()) {
        if (waited.elapsed() > limit.count())
            throw timedOut(what, limit);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
}

int runReportingTimeouts(const std::function<int()>& body)
{
    try {
        return body();
    } catch (const Timeout& timeout) {
        std::fprintf(stderr, "%s\n", timeout.what());
        return 1;
    }
}

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

void useTemporaryHome(const QString& root)
{
    const QString home = root + QStringLiteral("/home");
    QDir().mkpath(home);
    QDir().mkpath(root + QStringLiteral("/Volumes"));
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/.local/share")).toLocal8Bit());
    qputenv("XDG_STATE_HOME", (home + QStringLiteral("/.local/state")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home + QStringLiteral("/.cache")).toLocal8Bit());
    qputenv("ORVALINK_APP_SUPPORT_DIR", (root + QStringLiteral("/support")).toLocal8Bit());
    qputenv("ORVALINK_LOG_DIR", (root + QStringLiteral("/logs")).toLocal8Bit());
    qputenv("ORVALINK_VOLUMES_DIR", (root + QStringLiteral("/Volumes")).toLocal8Bit());
    qunsetenv("ORVALINK_BACKEND_BASE_URL");
}

} // namespace orvalink::bench
