#include "ui/shell/MainWindow.h"

#include "ui/shell/MessageBoxPromptSurface.h"
#include "ui/shell/PromptPresenter.h"
#include "ui/shell/ScreenFit.h"
#include "ui/shell/SheetHost.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/texts/Presentation.h"

#include <QCloseEvent>
#include <QLoggingCategory>
#include <QMoveEvent>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWindow>

namespace orvalink::ui {

Q_LOGGING_CATEGORY(lcWindow, "orvalink.shell.window")

namespace {
// Room for both columns' cards side by side where the screen has it.
constexpr QSize kFirstSize(1480, 940);
} // namespace

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
    m_designedLeastSize = m_dashboard->minimumSize();
    m_firstSize = size();
    fitToScreen();
}

MainWindow::~MainWindow() = default;

void MainWindow::fitToScreen()
{
    QScreen* shownOn = screen();
    if (!shownOn)
        return;
    // The frame is known once the window system framed the window; before, the style's title bar
    // stands for it.
    QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (frame.isNull())
        frame.setTop(style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this));
    m_fittedFrame = frame;
    m_fittedScreen = shownOn;
    const QSize available = shownOn->availableGeometry().size();
    const QSize least = leastContentSize(m_designedLeastSize, available, frame);
    m_dashboard->setMinimumSize(least);
    // The least size leaves the detail column narrower than its storage cards; open roomier where
    // the screen allows it. A size someone else gave the window meanwhile stays.
    if (size() == m_firstSize) {
        m_firstSize = firstContentSize(kFirstSize, least, available, frame);
        resize(m_firstSize);
    }
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    // The window system tells the frame once it framed the window, and the screen may change with
    // a move: measure again when either differs from what the sizes were worked out for.
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if ((!frame.isNull() && frame != m_fittedFrame) || screen() != m_fittedScreen)
        fitToScreen();
}

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
    PromptRequest request{presentation.localized(
                              {QStringLiteral("仍有磁盘操作在进行"), QStringLiteral("Disk Work Is Running")}),
                          m_viewModel.runningDiskWorkText(),
                          {{presentation.localized({"仍然关闭", "Close Anyway"}), PromptRole::destructive},
                           {presentation.localized({"取消", "Cancel"}), PromptRole::reject}}};
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
