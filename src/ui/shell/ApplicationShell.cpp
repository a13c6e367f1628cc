#include "ui/shell/ApplicationShell.h"

#include "model/AppPaths.h"
#include "ui/shell/DesktopHooks.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/SingleInstance.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"

#include <QApplication>
#include <QTextStream>
#include <memory>

namespace orvalink::ui {

void configureApplication()
{
    QApplication::setApplicationName(QStringLiteral("Orvalink"));
    QApplication::setApplicationVersion(QStringLiteral(ORVALINK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("orvalink"));
    useApplicationFontFamilies();
}

int runMainWindow(QApplication& app, QList<MainDashboardView::AutomationRun> automationRuns)
{
    QTextStream err(stderr);
    SingleInstance instance(AppPaths::applicationSupportDirectory());
    switch (instance.claim()) {
    case SingleInstance::Outcome::Primary:
        break;
    case SingleInstance::Outcome::RaisedOther:
        return 0;
    case SingleInstance::Outcome::NoAnswer:
        err << "Orvalink is already running but did not answer; not starting a second instance.\n";
        return 1;
    case SingleInstance::Outcome::Unavailable:
        // The window itself reports what is wrong with the folder; one instance cannot be ensured.
        err << "Orvalink could not check for another running instance: " << instance.errorString() << "\n";
        break;
    }

    DesktopHooks desktop;
    // The window refers to the state object: it goes first.
    const auto viewModel = std::make_unique<MainViewModel>(desktop.platformHooks());
    MainWindow window(*viewModel);
    window.dashboard().setAutomationRuns(std::move(automationRuns));
    desktop.setWindow(&window);
    QObject::connect(&instance, &SingleInstance::raiseRequested, &window, &MainWindow::bringToFront);
    window.show();
    return app.exec();
}

} // namespace orvalink::ui
