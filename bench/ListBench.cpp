// Measures the directory list with a large folder, off screen: the time from a new listing reaching
// the model to the first painted frame, and a search keystroke (the source filters by substring,
// then the model resets and the view repaints). Usage: orvalink-bench-list [entries] [rounds]
// The last two lines are `first frame N ms` and `keystroke median N ms`.

#include "BenchSupport.h"
#include "model/DirectoryEntry.h"
#include "ui/models/DirectoryIconCache.h"
#include "ui/models/DirectoryListModel.h"
#include "ui/views/sidebar/DirectoryListView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QRandomGenerator>
#include <QStringMatcher>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace orvalink;
using namespace orvalink::ui;

namespace {

// A listing filtered by a folded substring; everything else answers as a quiet state object would.
class FilteringSource : public DirectoryListSource {
public:
    explicit FilteringSource(QList<DirectoryEntry> all) : m_all(std::move(all))
    {
        m_folded.reserve(m_all.size());
        for (const DirectoryEntry& entry : m_all)
            m_folded.append(entry.name.toCaseFolded());
    }

    void showAll() { m_shown = m_all; }
    void showNothing() { m_shown.clear(); }
    void setQuery(const QString& query)
    {
        if (query.isEmpty()) {
            m_shown = m_all;
            return;
        }
        const QStringMatcher matcher(query.toCaseFolded());
        QList<DirectoryEntry> shown;
        shown.reserve(m_all.size());
        for (qsizetype i = 0; i < m_all.size(); ++i) {
            if (matcher.indexIn(m_folded.at(i)) >= 0)
                shown.append(m_all.at(i));
        }
        m_shown = std::move(shown);
    }

    const QList<DirectoryEntry>& sortedEntries() override { return m_shown; }
    QString displayName(const DirectoryEntry& entry) override { return entry.name; }
    std::optional<QString> focusedEntryPath() override { return std::nullopt; }
    bool isSelected(const DirectoryEntry&) override { return false; }
    std::optional<LinkRecommendation> recommendation(const DirectoryEntry&) override { return std::nullopt; }
    std::optional<QString> smartMigrationHintText(const DirectoryEntry&) override { return std::nullopt; }
    DirectoryListTexts texts() override
    {
        return {QStringLiteral("Migrated"), QStringLiteral("Open"), QStringLiteral("Open in Sidebar"),
                QStringLiteral("Reveal in File Manager")};
    }
    void focusEntry(const DirectoryEntry&) override {}
    void setSelection(const DirectoryEntry&, bool) override {}
    void openDirectory(const DirectoryEntry&) override {}
    void openContainingDirectory(const DirectoryEntry&) override {}
    void revealInFileManager(const DirectoryEntry&) override {}
    void focusPreviousEntry() override {}
    void focusNextEntry() override {}
    void openFocusedEntry() override {}

private:
    QList<DirectoryEntry> m_all;
    QStringList m_folded;
    QList<DirectoryEntry> m_shown;
};

QIcon plainIcon(const QColor& colour)
{
    QPixmap pixmap(18, 18);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

int run(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int count = arguments.size() > 1 ? arguments.at(1).toInt() : 100000;
    const int rounds = arguments.size() > 2 ? arguments.at(2).toInt() : 5;

    FilteringSource source(bench::syntheticListing(count));
    DirectoryIconCache icons(plainIcon(Qt::blue), plainIcon(Qt::gray));
    DirectoryListModel model(source, &icons);
    DirectoryListView view(&model);
    bench::PaintCounter painted;
    view.viewport()->installEventFilter(&painted);
    view.resize(420, 640);
    view.show();
    bench::untilPainted(painted, 0, QElapsedTimer(), "the list's first paint after showing it");

    std::vector<double> firstFrames;
    for (int round = 0; round < rounds; ++round) {
        source.showNothing();
        model.resetListing();
        bench::untilPainted(painted, painted.count, QElapsedTimer(), "the list's paint once emptied");
        QElapsedTimer clock;
        clock.start();
        source.showAll();
        model.resetListing();
        firstFrames.push_back(
            bench::untilPainted(painted, painted.count, clock, "the list's first frame of the folder"));
    }

    std::vector<double> keystrokes;
    std::vector<double> filtering;
    std::vector<double> shownRows;
    const QStringList typed{QStringLiteral("project"), QStringLiteral("照片"), QStringLiteral("final_v")};
    for (int round = 0; round < rounds; ++round) {
        for (const QString& word : typed) {
            // Clearing the field at the end brings the whole folder back: a keystroke too.
            for (qsizetype length = 1; length <= word.size() + 1; ++length) {
                QElapsedTimer clock;
                clock.start();
                source.setQuery(length > word.size() ? QString() : word.left(length));
                filtering.push_back(double(clock.nsecsElapsed()) / 1e6);
                model.resetListing();
                keystrokes.push_back(
                    bench::untilPainted(painted, painted.count, clock, "the list's paint after a keystroke"));
                shownRows.push_back(keystrokes.back() - filtering.back());
            }
        }
    }

    std::printf("entries %d, rounds %d\n", count, rounds);
    std::printf("first frame: first round %.1f ms, median %.1f ms\n", firstFrames.front(),
                bench::median(firstFrames));
    std::printf("keystroke: max %.1f ms over %zu\n", *std::max_element(keystrokes.begin(), keystrokes.end()),
                keystrokes.size());
    std::printf("keystroke parts: source filter median %.1f ms, model reset and repaint median %.1f ms\n",
                bench::median(filtering), bench::median(shownRows));
    std::printf("resident %.1f MB\n", double(bench::residentKiB()) / 1024.0);
    std::printf("first frame %.1f ms\n", firstFrames.front());
    std::printf("keystroke median %.1f ms\n", bench::median(keystrokes));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return bench::runReportingTimeouts([argc, argv] { return run(argc, argv); });
}
