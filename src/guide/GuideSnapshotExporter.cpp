#include "guide/GuideSnapshotExporter.h"

#include "guide/AnimatedGifWriter.h"
#include "guide/ExportError.h"
#include "guide/GuideDemoData.h"
#include "guide/GuideDemoFolder.h"
#include "guide/GuideEnvironment.h"
#include "guide/GuideMarkers.h"
#include "guide/GuideWindowRenderer.h"
#include "guide/PngWriter.h"
#include "model/AppPaths.h"
#include "platform/FileIO.h"
#include "platform/FolderWriter.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "platform/TerminalText.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/disk/DiskWorkflows.h"
#include "viewmodel/flow/DetachedFlow.h"

#include <QCoreApplication>
#include <QCoro/QCoroTimer>
#include <QDir>
#include <QTimer>
#include <chrono>

namespace orvalink::guide {
namespace {

// Main thread only; never reset.
bool g_exportStarted = false;

QImage still(MainViewModel& model, bool showMigratedItemsPanel, std::optional<GuideOverlayKind> overlay)
{
    return renderGuideWindowImage(model, kStillCanvasSize, kStillWindowSize, showMigratedItemsPanel, overlay);
}

QImage tourFrame(MainViewModel& model, bool showMigratedItemsPanel, std::optional<GuideOverlayKind> overlay)
{
    return renderGuideWindowImage(model, kTourCanvasSize, kTourWindowSize, showMigratedItemsPanel, overlay);
}

QString failureText(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const ExportError& exportError) {
        return exportError.errorDescription();
    } catch (const platform::PlatformError& platformError) {
        return platformError.message();
    } catch (const std::exception& other) {
        return QString::fromUtf8(other.what());
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

} // namespace

bool shouldExportFromEnvironment()
{
    return environmentSwitchIsOn("ORVALINK_GUIDE_EXPORT");
}

QString resolveOutputDirectory()
{
    if (const std::optional<QString> chosen = guideEnvironmentValue("ORVALINK_GUIDE_EXPORT_DIR"))
        return platform::standardizedPath(*chosen);
    return AppPaths::applicationSupportDirectory() + QStringLiteral("/guide-export");
}

void exportSnapshots()
{
    const QString folder = resolveOutputDirectory();
    writeMarker(stderr, QStringLiteral("[guide-export] output directory: ") + platform::terminalSafe(folder));
    platform::createDirectories(folder, 0755);
    const platform::FolderWriter out(folder);
    // Declared before the state objects, which must be gone before it.
    const GuideDemoFolder support;
    const ViewModelFactory make = [&support] {
        return support.makeViewModel();
    };

    const std::unique_ptr<MainViewModel> demo = makeDemoViewModel(make);
    writePng(still(*demo, false, std::nullopt), out, QStringLiteral("step-01-overview.png"));
    writePng(still(*demo, false, GuideOverlayKind::account), out, QStringLiteral("step-02-account.png"));
    // The tour opens on the demo state as it is before the migrated items are selected.
    const QImage tourOverview = tourFrame(*demo, false, std::nullopt);
    const QImage tourAccount = tourFrame(*demo, false, GuideOverlayKind::account);
    demo->workflows().selectAllMigratedMappings();
    writePng(still(*demo, true, std::nullopt), out, QStringLiteral("step-04-history.png"));
    writeAnimatedGif({{tourOverview, 105}, {tourAccount, 105}, {tourFrame(*demo, true, std::nullopt), 135}},
                     out, QStringLiteral("full-window-tour.gif"));

    // One object walks through the steps: each step assigns everything a step changes.
    const std::unique_ptr<MainViewModel> selection = makeDemoViewModel(make);
    QList<GuideGifFrame> steps;
    for (const auto& [step, delay] :
         {std::pair{SelectionStep::start, 100}, std::pair{SelectionStep::filtered, 110},
          std::pair{SelectionStep::ready, 135}}) {
        applySelectionStep(*selection, step);
        steps.append({tourFrame(*selection, false, std::nullopt), delay});
    }
    writeAnimatedGif(steps, out, QStringLiteral("migration-selection-tour.gif"));
}

QCoro::Task<> exportIfNeeded()
{
    if (!shouldExportFromEnvironment() || g_exportStarted)
        co_return;
    g_exportStarted = true;
    writeMarker(stderr, QStringLiteral("[guide-export] starting"));
    prepareGuideRendering();
    co_await QCoro::sleepFor(std::chrono::milliseconds(250));
    try {
        exportSnapshots();
    } catch (...) {
        // The failure names the path it concerns.
        failProcess(QStringLiteral("[guide-export] failed: ") +
                    platform::terminalSafe(failureText(std::current_exception())));
    }
    writeMarker(stderr, QStringLiteral("[guide-export] finished"));
    QCoreApplication::quit();
}

void scheduleGuideExport()
{
    QTimer::singleShot(0, [] { startDetached(exportIfNeeded()); });
}

} // namespace orvalink::guide
