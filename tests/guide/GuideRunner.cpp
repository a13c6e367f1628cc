// Starts the way the application entry starts in the modes the guide library provides, so the
// tests can run them as real processes: the export when its switch is on (placeholder window,
// export scheduled before the event loop), else a window over a MainViewModel whose start-up flow
// is followed by the guide-capture and UI-smoke runs. With --quit-after-start the event loop ends
// once that start-up is over, so a test can see that a mode left off did nothing.

#include "guide/GuideCaptureRun.h"
#include "guide/GuideSnapshotExportView.h"
#include "guide/GuideSnapshotExporter.h"
#include "guide/UISmokeRun.h"
#include "ui/views/dashboard/MainDashboardView.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/launch/LaunchSequence.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

namespace {

QCoro::Task<> startUp(QPointer<orvalink::ui::MainDashboardView> window, bool quitAfterwards)
{
    co_await window->viewModel().launch().bootstrap();
    if (window)
        co_await orvalink::guide::runGuideCaptureIfNeeded(*window);
    if (window)
        co_await orvalink::guide::runUISmokeIfNeeded(*window);
    if (quitAfterwards)
        QCoreApplication::quit();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvalink"));
    orvalink::ui::useApplicationFontFamilies();
    const bool quitAfterStart = QApplication::arguments().contains(QStringLiteral("--quit-after-start"));

    if (orvalink::guide::shouldExportFromEnvironment()) {
        orvalink::guide::scheduleGuideExport();
        orvalink::guide::GuideSnapshotExportView placeholder;
        placeholder.show();
        return QApplication::exec();
    }

    orvalink::MainViewModel model;
    // The start-up is run here rather than by the window, in the order the window runs it.
    orvalink::ui::DashboardOptions options;
    options.shouldRunBootstrap = false;
    orvalink::ui::MainDashboardView window(model, options);
    window.show();
    QTimer::singleShot(0, [&window, quitAfterStart] {
        orvalink::startDetached(startUp(QPointer<orvalink::ui::MainDashboardView>(&window), quitAfterStart));
    });
    return QApplication::exec();
}
