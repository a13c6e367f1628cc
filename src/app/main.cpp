#include "guide/GuideCaptureRun.h"
#include "guide/GuideSnapshotExportView.h"
#include "guide/GuideSnapshotExporter.h"
#include "guide/UISmokeRun.h"
#include "platform/TerminalText.h"
#include "ui/shell/ApplicationShell.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    orvalink::platform::escapeLogMessages();
    QApplication app(argc, argv);
    orvalink::ui::configureApplication();
    if (orvalink::guide::shouldExportFromEnvironment()) {
        // The export shows only its placeholder and ends the process itself.
        orvalink::guide::scheduleGuideExport();
        orvalink::guide::GuideSnapshotExportView placeholder;
        placeholder.show();
        return QApplication::exec();
    }
    return orvalink::ui::runMainWindow(
        app, {&orvalink::guide::runGuideCaptureIfNeeded, &orvalink::guide::runUISmokeIfNeeded});
}
