// Measures opening the detail column with a long history, off screen: the migration history and
// the migrated-items panel over N link mappings each (a year of use and more), from building the
// column to its first painted frame. Usage: orvalink-bench-history [mappings] [rounds]
// The last line is `median N ms`.

#include "BenchSupport.h"
#include "model/LinkMapping.h"
#include "ui/views/common/DashboardViewState.h"
#include "ui/views/detail/DetailPaneView.h"
#include "ui/widgets/Motion.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/history/PersistedStateReader.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace orvalink;

namespace {

// Newest first, as the state object keeps them.
QList<LinkMapping> history(int count, const QString& home)
{
    QList<LinkMapping> mappings;
    mappings.reserve(count);
    const QDateTime newest = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < count; ++i) {
        LinkMapping mapping;
        mapping.id = QUuid::createUuid();
        mapping.sourcePath = home + QStringLiteral("/Projects/folder-%1/Library Cache").arg(i);
        mapping.targetPath = QStringLiteral("/media/external/Store") + mapping.sourcePath;
        mapping.anchorUser = QStringLiteral("user");
        mapping.volumeUUID = QStringLiteral("unknown");
        mapping.createdAt = newest.addSecs(-60LL * i);
        mapping.updatedAt = mapping.createdAt;
        mappings.append(mapping);
    }
    return mappings;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ui::useApplicationFontFamilies();
    ui::setAnimationsEnabled(false);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args.at(1).toInt() : 10000;
    const int rounds = args.size() > 2 ? args.at(2).toInt() : 15;

    QTemporaryDir root;
    bench::useTemporaryHome(root.path());
    MainViewModel viewModel;
    // The (empty) history read at construction is published first, so it does not replace these.
    bench::waitUntil([&] { return !viewModel.persisted().isReloading(); }, "the history read at construction",
                     std::chrono::seconds(30));
    const QList<LinkMapping> mappings = history(count, QDir::homePath());
    HistoryState& published = ViewModelInternals::context(viewModel).history();
    published.setUndoHistory(mappings);
    published.setMigratedMappings(mappings);

    std::vector<qint64> times;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        ui::DashboardViewState state;
        state.setShowMigratedItemsPanel(true);
        ui::DetailPaneView pane(viewModel, state);
        pane.setAttribute(Qt::WA_DontShowOnScreen);
        pane.resize(760, 1100);
        pane.show();
        QApplication::processEvents();
        QImage frame(pane.size(), QImage::Format_ARGB32_Premultiplied);
        pane.render(&frame);
        times.push_back(timer.elapsed());
        std::printf("round %d: %lld ms\n", round + 1, static_cast<long long>(times.back()));
    }
    std::sort(times.begin(), times.end());
    std::printf("mappings %d, rounds %d\n", count, rounds);
    std::printf("median %lld ms\n", static_cast<long long>(times[times.size() / 2]));
    return 0;
}
