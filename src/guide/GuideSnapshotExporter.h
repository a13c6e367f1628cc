#pragma once

#include <QCoro/QCoroTask>
#include <QSize>
#include <QString>

namespace orvalink::guide {

// The sizes of the pictures: the three stills, and the frames of both tours. Each window is centred
// in its canvas, with 28 pixels of backdrop on every side.
inline constexpr QSize kStillCanvasSize(1560, 980);
inline constexpr QSize kStillWindowSize(1504, 924);
inline constexpr QSize kTourCanvasSize(1280, 804);
inline constexpr QSize kTourWindowSize(1224, 748);

// The developer export of the tutorial pictures, switched on by ORVALINK_GUIDE_EXPORT=1.
//
// The application entry asks shouldExportFromEnvironment(); when it is true it calls
// scheduleGuideExport() and shows a GuideSnapshotExportView instead of the main window, then runs
// the event loop. The export ends the process itself: on success the event loop quits (exit code
// 0) after "[guide-export] finished"; on failure the process ends with status 1 right after
// "[guide-export] failed: <reason>". The markers go to standard error, flushed line by line.

// True exactly when ORVALINK_GUIDE_EXPORT is "1" (no trimming, no case folding). Reads nothing else.
bool shouldExportFromEnvironment();

// The folder the pictures go to: ORVALINK_GUIDE_EXPORT_DIR trimmed and standardized (relative to
// the current directory), or "guide-export" in the application-support folder when that is blank.
QString resolveOutputDirectory();

// Prints the output folder, creates it with its parents and writes the five pictures into it,
// each replacing a file of its name atomically (a symbolic link at the name is replaced, never
// followed; a folder that is itself a link is refused), in this order: "step-01-overview.png",
// "step-02-account.png", "step-04-history.png", "full-window-tour.gif",
// "migration-selection-tour.gif". The pictures show demo data alone: their two state objects are
// built on an empty temporary application-support folder, so no file of the user's is read or
// written. The first failure ends the run, leaving the files written before it. Throws
// ExportError or platform::PlatformError.
void exportSnapshots();

// The export run, at most once per process (a later call returns at once, silently). Never returns
// to its caller on failure: the process ends with status 1. Needs the QApplication.
QCoro::Task<> exportIfNeeded();

// Queues exportIfNeeded() for the first turn of the event loop; the entry calls it before exec().
void scheduleGuideExport();

} // namespace orvalink::guide
