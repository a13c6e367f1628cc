#include "ui/shell/ApplicationShell.h"

#include "model/AppPaths.h"
#include "platform/TerminalText.h"
#include "ui/shell/DesktopHooks.h"
#include "ui/shell/LockObstacle.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/SingleInstance.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/state/BilingualText.h"

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

namespace {

using platform::terminalSafe;

// A start that stops shows why until the user closes the notice, then ends with status 1.
int waitForNotice(QApplication& app, QMessageBox* notice)
{
    QObject::connect(notice, &QMessageBox::finished, &app, &QCoreApplication::quit);
    app.exec();
    return 1;
}

} // namespace

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
        return waitForNotice(app, openNotAnsweringNotice());
    }
    case SingleInstance::Outcome::Blocked: {
        const LockObstacle obstacle = LockObstacle::at(SingleInstance::lockFilePath(instance.directory()));
        err << "Orvalink cannot start: " << terminalSafe(obstacle.path) << " is "
            << obstacle.kind.in(UILanguage::english) << " owned by " << terminalSafe(obstacle.owner)
            << ", where its instance lock belongs (" << terminalSafe(instance.errorString())
            << "). Remove it with: " << obstacle.removal << "\n";
        err.flush();
        return waitForNotice(app, openLockObstacleNotice(obstacle));
    }
    case SingleInstance::Outcome::NoLockFile: {
        const QString lock = SingleInstance::lockFilePath(instance.directory());
        err << "Orvalink cannot start: its instance lock cannot be created at " << terminalSafe(lock) << " ("
            << terminalSafe(instance.errorString()) << ").\n";
        err.flush();
        return waitForNotice(app, openNoLockFileNotice(lock, instance.errorString()));
    }
    case SingleInstance::Outcome::Unavailable:
        // The window itself reports what is wrong with the folder; one instance cannot be ensured.
        err << "Orvalink could not check for another running instance: "
            << terminalSafe(instance.errorString()) << "\n";
        break;
    }
    if (instance.isPrimary() && !instance.isListening()) {
        // The lock is kept, so a second start still stays out; it cannot bring this window forward.
        err << "Orvalink cannot be reached by a second start: " << terminalSafe(instance.errorString())
            << "\n";
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

namespace {

// A warning in both languages that waits for the user and deletes itself when closed.
QMessageBox* openStartNotice(const QString& objectName, const QString& text, const QString& details)
{
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Orvalink"), text, QMessageBox::Ok);
    box->setObjectName(objectName);
    box->setInformativeText(details);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return box;
}

// The notice of a start that found no way to its instance lock, with `details` on what is wrong.
// The settings are not read here: the folder that holds them is in question. Both languages are
// shown.
QMessageBox* openLockNotice(const QString& objectName, const BilingualText& details)
{
    return openStartNotice(
        objectName,
        BilingualText("Orvalink 无法确认是否已有实例在运行，因此没有启动。",
                      "Orvalink cannot tell whether it is already running, so it did not start.")
            .in(UILanguage::bilingual),
        details.in(UILanguage::bilingual));
}

} // namespace

QMessageBox* openLockObstacleNotice(const LockObstacle& obstacle)
{
    // Each sentence names the entry in its own language.
    const QString chinese = obstacle.kind.in(UILanguage::chinese);
    const QString english = obstacle.kind.in(UILanguage::english);
    return openLockNotice(
        QStringLiteral("lockObstacleNotice"),
        BilingualText(
            QStringLiteral(
                "它的实例锁应在 %1，但那里是%3拥有的%2。请用以下命令删除它，然后重新打开 Orvalink：%4")
                .arg(obstacle.path, chinese, obstacle.owner, obstacle.removal),
            QStringLiteral("Its instance lock belongs at %1, but %2 owned by %3 stands there. Remove it with "
                           "this command, then open Orvalink again: %4")
                .arg(obstacle.path, english, obstacle.owner, obstacle.removal)));
}

QMessageBox* openNoLockFileNotice(const QString& lockPath, const QString& reason)
{
    return openLockNotice(
        QStringLiteral("noLockFileNotice"),
        BilingualText("无法在 %1 创建它的实例锁（%2）。请在该文件夹可以写入后重新打开 Orvalink。",
                      "Its instance lock cannot be created at %1 (%2). Open Orvalink again once "
                      "that folder can be written to.")
            .arg(lockPath, reason));
}

QMessageBox* openNotAnsweringNotice()
{
    // The settings are not read here: the running instance owns them. Both languages are shown.
    return openStartNotice(
        QStringLiteral("notAnsweringNotice"),
        BilingualText("Orvalink 已在运行，但没有响应。", "Orvalink is already running but does not respond.")
            .in(UILanguage::bilingual),
        BilingualText("请先退出正在运行的 Orvalink，再重新打开。",
                      "Quit the running Orvalink, then open it again.")
            .in(UILanguage::bilingual));
}

} // namespace orvalink::ui
