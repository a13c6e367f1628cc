// Measures a whole guide export, off screen: two demo state objects on an empty temporary folder,
// nine renders of the window (two with the account sheet over it) and the five files (three PNGs,
// two three-frame GIFs). Everything lives in a temporary home, so the user's files are never read
// or written.
// Usage: orvalink-bench-guide-export [rounds]
// The last line is `export median N ms (min N ms, max N ms)`.

#include "guide/GuideSnapshotExporter.h"
#include "guide/GuideWindowRenderer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void pointHomeInto(const QString& root)
{
    const auto set = [&root](const char* name, const char* relative) {
        qputenv(name, (root + QLatin1Char('/') + QLatin1String(relative)).toUtf8());
    };
    set("HOME", "home");
    set("XDG_DATA_HOME", "home/.local/share");
    set("XDG_STATE_HOME", "home/.local/state");
    set("ORVALINK_APP_SUPPORT_DIR", "support");
    set("ORVALINK_LOG_DIR", "logs");
    set("ORVALINK_VOLUMES_DIR", "Volumes");
    set("ORVALINK_GUIDE_EXPORT_DIR", "pictures");
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir root;
    if (!root.isValid())
        return 1;
    pointHomeInto(root.path());
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;
    orvalink::guide::prepareGuideRendering();

    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        orvalink::guide::exportSnapshots();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        std::printf("round %d: %.1f ms\n", round + 1, times.back());
    }
    std::sort(times.begin(), times.end());
    std::printf("export median %.1f ms (min %.1f ms, max %.1f ms)\n", times[times.size() / 2], times.front(),
                times.back());
    return 0;
}
