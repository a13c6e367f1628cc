#include "ui/shell/ApplicationShell.h"

#include "model/AppPaths.h"
#include "ui/shell/DesktopHooks.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/SingleInstance.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Localizer.h"

#include <QApplication>
#include <QMessageBox>
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
    case SingleInstance::Outcome::NoAnswer: {
        err << "Orvalink is already running but did not answer; not starting a second instance.\n";
        err.flush();
        QMessageBox* notice = openNotAnsweringNotice();
        QObject::connect(notice, &QMessageBox::finished, &app, &QCoreApplication::quit);
        app.exec();
        return 1;
    }
    case SingleInstance::Outcome::Unavailable:
        // The window itself reports what is wrong with the folder; one instance cannot be ensured.
        err << "Orvalink could not check for another running instance: " << instance.errorString() << "\n";
        break;
    }
    if (instance.isPrimary() && !instance.isListening()) {
        // The lock is kept, so a second start still stays out; it cannot bring this window forward.
        err << "Orvalink cannot be reached by a second start: " << instance.errorString() << "\n";
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

QMessageBox* openNotAnsweringNotice()
{
    // The settings are not read here: the running instance owns them. Both languages are shown.
    const Localizer texts;
    auto* box =
        new QMessageBox(QMessageBox::Warning, QStringLiteral("Orvalink"),
                        texts.localized(QStringLiteral("Orvalink 已在运行，但没有响应。"),
                                        QStringLiteral("Orvalink is already running but does not respond.")),
                        QMessageBox::Ok);
    box->setObjectName(QStringLiteral("notAnsweringNotice"));
    box->setInformativeText(
        texts.localized(QStringLiteral("请先退出正在运行的 Orvalink，再重新打开。"),
                        QStringLiteral("Quit the running Orvalink, then open it again.")));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return box;
}

} // namespace orvalink::ui
