#pragma once

#include "guide/GuideDemoData.h"

#include <QCoro/QCoroTask>
#include <QString>

namespace orvalink::guide {

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
// each replacing a file of its name atomically, in this order: "step-01-overview.png",
// "step-02-account.png", "step-04-history.png", "full-window-tour.gif",
// "migration-selection-tour.gif". Every demo model comes from `make` (default: the ordinary
// state object). The first failure ends the run, leaving the files written before it. Throws
// ExportError or platform::PlatformError.
void exportSnapshots(const ViewModelFactory& make = {});

// The export run, at most once per process (a later call returns at once, silently). Never returns
// to its caller on failure: the process ends with status 1. Needs the QApplication.
QCoro::Task<> exportIfNeeded();

// Queues exportIfNeeded() for the first turn of the event loop; the entry calls it before exec().
void scheduleGuideExport();

} // namespace orvalink::guide
