// Measures the window with a large folder, off screen, over the real state object: a temporary home
// holds a folder of generated entries, the dashboard shows it, and the program times
// - the first frame: from the folder's listing being published to the first paint of the list;
// - a search keystroke: a key typed into the sidebar's search field, through the state object's
//   search and order, the list model and the labels, to the list's next paint.
// Usage: orvalink-bench-window [entries] [rounds]
// The last two lines are `first frame N ms` and `keystroke median N ms`.

#include "BenchSupport.h"
#include "ui/views/dashboard/MainDashboardView.h"
#include "ui/views/sidebar/DirectoryListView.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/DirectoryLoader.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/browsing/ShownListing.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace orvalink;

namespace {

// A home of its own, so nothing of the user's is read or written.
// Empty files with mixed names (words, numbers, extensions, some Chinese), one in fifty a folder.
void fillFolder(const QString& folder, int count)
{
    QDir().mkpath(folder);
    QRandomGenerator random(20240601);
    const QStringList words{"project", "report", "holiday",  "camera", "backup", "invoice",
                            "draft",   "final",  "meeting",  "photo",  "video",  "render",
                            "export",  "照片",   "会议记录", "résumé", "IMG",    "Screenshot"};
    const QStringList extensions{".jpg", ".png", ".mp4", ".pdf", ".docx", ".zip", ".txt", ".iso", ""};
    for (int i = 0; i < count; ++i) {
        const bool directory = random.bounded(50) == 0;
        const QString name = words.at(random.bounded(int(words.size()))) + QLatin1Char('_') +
                             words.at(random.bounded(int(words.size()))) + QLatin1Char('-') +
                             QString::number(i) +
                             (directory ? QString() : extensions.at(random.bounded(int(extensions.size()))));
        if (directory) {
            QDir().mkdir(folder + QLatin1Char('/') + name);
        } else {
            QFile file(folder + QLatin1Char('/') + name);
            if (!file.open(QIODevice::WriteOnly))
                std::fprintf(stderr, "cannot create %s\n", qPrintable(file.fileName()));
        }
    }
}

void typeKey(QWidget* field, Qt::Key key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(field, &release);
}

int run(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir root;
    bench::useTemporaryHome(root.path());
    QApplication app(argc, argv);
    ui::useApplicationFontFamilies();
    const QStringList arguments = app.arguments();
    const int count = arguments.size() > 1 ? arguments.at(1).toInt() : 100000;
    const int rounds = arguments.size() > 2 ? arguments.at(2).toInt() : 5;
    const QString folder = root.path() + QStringLiteral("/home/Downloads");
    fillFolder(folder, count);

    MainViewModel viewModel;
    ui::DashboardOptions options;
    options.shouldRunBootstrap = false;
    ui::MainDashboardView dashboard(viewModel, options);
    auto* list = dashboard.findChild<ui::DirectoryListView*>();
    auto* search = dashboard.findChild<QLineEdit*>(QStringLiteral("searchField"));
    if (!list || !search) {
        std::fprintf(stderr, "the dashboard has no directory list or search field\n");
        return 1;
    }
    bench::PaintCounter painted;
    list->viewport()->installEventFilter(&painted);
    dashboard.resize(1280, 860);
    dashboard.show();
    bench::untilPainted(painted, 0, QElapsedTimer(), "the list's first paint after showing it");

    // The folder as the loader lists it (sizes of its folders measured), then taken as the listing.
    viewModel.navigation().navigate(folder, true);
    bench::waitUntil(
        [&] {
            return viewModel.browsing().currentDirectoryPath() == folder &&
                   !viewModel.browsing().isScanning() && !viewModel.browsing().isBackgroundScanning();
        },
        "the folder's listing and sizes", std::chrono::minutes(5));
    const QList<DirectoryEntry> entries = viewModel.browsing().entries();
    if (entries.size() != count) {
        std::fprintf(stderr, "listed %lld entries of %d\n", qint64(entries.size()), count);
        return 1;
    }

    std::vector<double> firstFrames;
    for (int round = 0; round < rounds; ++round) {
        viewModel.loader().applyDirectoryEntries({});
        bench::untilPainted(painted, painted.count, QElapsedTimer(), "the list's paint once emptied");
        QElapsedTimer clock;
        clock.start();
        viewModel.loader().applyDirectoryEntries(entries);
        firstFrames.push_back(
            bench::untilPainted(painted, painted.count, clock, "the list's first frame of the folder"));
    }
    const double shownMB = (double(bench::residentKiB()) / 1024.0);

    std::vector<double> keystrokes;
    search->setFocus();
    const QStringList typed{QStringLiteral("project"), QStringLiteral("照片"), QStringLiteral("final_v")};
    for (int round = 0; round < rounds; ++round) {
        for (const QString& word : typed) {
            // Each letter, then Backspace until the field is empty (the whole folder comes back).
            for (const QChar letter : word) {
                QElapsedTimer clock;
                clock.start();
                typeKey(search, Qt::Key_unknown, QString(letter));
                keystrokes.push_back(
                    bench::untilPainted(painted, painted.count, clock, "the list's paint after a keystroke"));
            }
            for (qsizetype i = 0; i < word.size(); ++i) {
                QElapsedTimer clock;
                clock.start();
                typeKey(search, Qt::Key_Backspace, QString());
                keystrokes.push_back(
                    bench::untilPainted(painted, painted.count, clock, "the list's paint after a keystroke"));
            }
        }
    }
    if (!viewModel.browsing().searchQuery().isEmpty() ||
        viewModel.listing().sortedEntries().size() != count) {
        std::fprintf(stderr, "the search field did not reach the state object\n");
        return 1;
    }

    std::printf("entries %d, rounds %d\n", count, rounds);
    std::printf("first frame: median %.1f ms, max %.1f ms\n", bench::median(firstFrames),
                *std::max_element(firstFrames.begin(), firstFrames.end()));
    std::printf("keystroke: max %.1f ms over %zu\n", *std::max_element(keystrokes.begin(), keystrokes.end()),
                keystrokes.size());
    std::printf("resident with the folder shown %.1f MB, after the keystrokes %.1f MB\n", shownMB,
                (double(bench::residentKiB()) / 1024.0));
    std::printf("first frame %.1f ms\n", firstFrames.front());
    std::printf("keystroke median %.1f ms\n", bench::median(keystrokes));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return bench::runReportingTimeouts([argc, argv] { return run(argc, argv); });
}
