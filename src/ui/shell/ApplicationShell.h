#pragma once

#include "ui/views/dashboard/MainDashboardView.h"

#include <QList>

class QApplication;
class QMessageBox;

namespace orvalink::ui {

// Names the application and sets its fonts. Call once, right after the application object exists.
void configureApplication();

// Opens the main window over a new state object and runs the event loop; returns the exit code.
// A second start of the program asks the running one to come forward and returns 0 at once, so two
// processes never write the same history files. `automationRuns` follow the window's start-up.
int runMainWindow(QApplication& app, QList<MainDashboardView::AutomationRun> automationRuns = {});

// Opens, without waiting for it, the notice that another instance holds the folder but does not
// answer; a start launched from the desktop has no terminal to show stderr. The box deletes itself
// when closed.
QMessageBox* openNotAnsweringNotice();

struct LockObstacle;
// Opens, the same way, the notice that something stands where the instance lock belongs (see
// SingleInstance::Outcome::Blocked): its path, what it is, its owner and how to remove it.
QMessageBox* openLockObstacleNotice(const LockObstacle& obstacle);

// Opens, the same way, the notice that the instance lock cannot be created at `lockPath` though
// nothing stands there (SingleInstance::Outcome::NoLockFile), with the system's `reason`.
QMessageBox* openNoLockFileNotice(const QString& lockPath, const QString& reason);

} // namespace orvalink::ui
