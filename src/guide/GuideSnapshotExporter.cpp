#include "guide/GuideSnapshotExporter.h"

#include "guide/AnimatedGifWriter.h"
#include "guide/ExportError.h"
#include "guide/GuideEnvironment.h"
#include "guide/GuideMarkers.h"
#include "guide/GuideWindowRenderer.h"
#include "guide/PngWriter.h"
#include "model/AppPaths.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "viewmodel/DetachedFlow.h"
#include "viewmodel/DiskWorkflows.h"
#include "viewmodel/MainViewModel.h"

#include <QCoreApplication>
#include <QCoro/QCoroTimer>
#include <QDir>
#include <QTimer>
#include <chrono>

namespace orvalink::guide {
namespace {

const QSize kStillCanvas(1560, 980);
const QSize kStillWindow(1504, 924);
const QSize kTourCanvas(1280, 804);
const QSize kTourWindow(1224, 748);

// Main thread only; never reset.
bool g_exportStarted = false;

QImage still(MainViewModel& model, bool showMigratedItemsPanel, std::optional<GuideOverlayKind> overlay)
{
    return renderGuideWindowImage(model, kStillCanvas, kStillWindow, showMigratedItemsPanel, overlay);
}

QImage tourFrame(MainViewModel& model, bool showMigratedItemsPanel, std::optional<GuideOverlayKind> overlay)
{
    return renderGuideWindowImage(model, kTourCanvas, kTourWindow, showMigratedItemsPanel, overlay);
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

void exportSnapshots(const ViewModelFactory& make)
{
    const QString folder = resolveOutputDirectory();
    writeMarker(stderr, QStringLiteral("[guide-export] output directory: ") + folder);
    platform::createDirectories(folder, 0755);
    const auto file = [&folder](const char* name) {
        return folder + QLatin1Char('/') + QLatin1String(name);
    };

    writePng(still(*makeDemoViewModel(make), false, std::nullopt), file("step-01-overview.png"));
    writePng(still(*makeDemoViewModel(make), false, GuideOverlayKind::account), file("step-02-account.png"));
    const std::unique_ptr<MainViewModel> history = makeDemoViewModel(make);
    history->workflows().selectAllMigratedMappings();
    writePng(still(*history, true, std::nullopt), file("step-04-history.png"));

    writeAnimatedGif({{tourFrame(*makeDemoViewModel(make), false, std::nullopt), 105},
                      {tourFrame(*makeDemoViewModel(make), false, GuideOverlayKind::account), 105},
                      {tourFrame(*history, true, std::nullopt), 135}},
                     file("full-window-tour.gif"));
    writeAnimatedGif({{tourFrame(*makeSelectionStartViewModel(make), false, std::nullopt), 100},
                      {tourFrame(*makeSelectionFilteredViewModel(make), false, std::nullopt), 110},
                      {tourFrame(*makeSelectionReadyViewModel(make), false, std::nullopt), 135}},
                     file("migration-selection-tour.gif"));
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
        failProcess(QStringLiteral("[guide-export] failed: ") + failureText(std::current_exception()));
    }
    writeMarker(stderr, QStringLiteral("[guide-export] finished"));
    QCoreApplication::quit();
}

void scheduleGuideExport()
{
    QTimer::singleShot(0, [] { startDetached(exportIfNeeded()); });
}

} // namespace orvalink::guide
