#include "ui/shell/MainWindow.h"

#include "ui/shell/MessageBoxPromptSurface.h"
#include "ui/shell/PromptPresenter.h"
#include "ui/shell/SheetHost.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/texts/Presentation.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <algorithm>

namespace orvalink::ui {

Q_LOGGING_CATEGORY(lcWindow, "orvalink.shell.window")

MainWindow::MainWindow(MainViewModel& viewModel, DashboardOptions options,
                       std::unique_ptr<PromptSurface> surface, QWidget* parent)
    : QMainWindow(parent), m_viewModel(viewModel), m_surface(std::move(surface))
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Orvalink"));
    m_dashboard = new MainDashboardView(m_viewModel, std::move(options), this);
    setCentralWidget(m_dashboard);
    if (!m_surface)
        m_surface = std::make_unique<MessageBoxPromptSurface>(this);
    m_prompts = std::make_unique<PromptPresenter>(m_viewModel, m_dashboard->viewState(), *m_surface);
    m_sheets = std::make_unique<SheetHost>(m_viewModel, m_dashboard->viewState(), this);
    connect(&m_viewModel.activity(), &ActivityState::diskWorkChanged, this, &MainWindow::diskWorkChanged);
    // A batch held by the question stops between two items: nothing runs any more.
    connect(&m_viewModel.activity(), &ActivityState::isBatchHeldChanged, this, &MainWindow::diskWorkChanged);
    // The least size leaves the detail column narrower than its storage cards; open roomier where
    // the screen allows it.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableSize();
        // Never below the least size, also on a screen smaller than it.
        resize(std::max(minimumSizeHint().width(), std::min(1480, room.width())),
               std::max(minimumSizeHint().height(), std::min(940, room.height())));
    }
}

MainWindow::~MainWindow() = default;

void MainWindow::bringToFront()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
    qCInfo(lcWindow) << "raised the window at another start's request";
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_readyToClose) {
        event->accept();
        return;
    }
    if (m_closing) {
        event->ignore();
        return;
    }
    if (!m_viewModel.hasRunningDiskWork()) {
        closeNow();
        event->accept();
        return;
    }
    event->ignore();
    if (!m_askingToClose)
        askBeforeClosing();
}

void MainWindow::closeNow()
{
    // Nothing can sit between staging and link now; pending flows are told to stop.
    m_closing = true;
    m_readyToClose = true;
    startDetached(m_viewModel.prepareToClose());
}

void MainWindow::diskWorkChanged()
{
    if (!m_askingToClose || m_viewModel.hasRunningDiskWork())
        return;
    // The work the question asks about is over, or the batch it holds waits between two items:
    // close as the user asked (the withdrawn question leaves the hold on, so no further item
    // starts). Not from inside the workflow step that published the change: it still runs on after
    // this returns.
    m_askingToClose = false;
    m_prompts->withdrawQuestion();
    // Should new work have started in the meantime, the close asks again.
    QTimer::singleShot(0, this, [this] {
        if (!m_closing)
            close();
    });
}

void MainWindow::askBeforeClosing()
{
    const Presentation& presentation = m_viewModel.presentation();
    PromptRequest request{
        presentation.localized(QStringLiteral("仍有磁盘操作在进行"), QStringLiteral("Disk Work Is Running")),
        m_viewModel.runningDiskWorkText(),
        {{presentation.localized(QStringLiteral("仍然关闭"), QStringLiteral("Close Anyway")),
          PromptRole::destructive},
         {presentation.localized(QStringLiteral("取消"), QStringLiteral("Cancel")), PromptRole::reject}}};
    QPointer<MainWindow> self(this);
    m_askingToClose = true;
    // The question says the remaining items will not start: none does while it is open.
    m_viewModel.holdFurtherItems(true);
    m_prompts->ask(std::move(request), [self](std::optional<int> button) {
        if (!self)
            return;
        self->m_askingToClose = false;
        if (button != 0 || self->m_closing) {
            self->m_viewModel.holdFurtherItems(false);
            return;
        }
        self->m_closing = true;
        // Nothing new can be started while the running item is brought to an end.
        self->m_dashboard->setEnabled(false);
        startDetached(self->closeWhenPrepared());
    });
}

QCoro::Task<> MainWindow::closeWhenPrepared()
{
    QPointer<MainWindow> self(this);
    co_await m_viewModel.prepareToClose();
    if (!self)
        co_return;
    m_readyToClose = true;
    // Not from inside a close event that may still be on the stack.
    QTimer::singleShot(0, this, &MainWindow::close);
}

} // namespace orvalink::ui
