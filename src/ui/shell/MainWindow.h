#pragma once

#include "ui/shell/PromptSurface.h"
#include "ui/views/dashboard/MainDashboardView.h"

#include <QCoro/QCoroTask>
#include <QMainWindow>
#include <memory>

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class PromptPresenter;
class SheetHost;

// The application's one window, "Orvalink": it hosts the dashboard over one state object and puts
// the prompts and the quick sheets on top of it.
//
// Closing is safe: without disk work the window closes at once (after telling the state object);
// while disk work runs it asks first, and when the user still closes it waits until the state
// object has let the running item finish or roll back, then closes. The process therefore never
// ends between an item's staging and its link. While the question is open no further item of a
// batch starts; should the work end meanwhile, or the running item of a batch end so that the batch
// waits for the answer, the question goes and the window closes as asked.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // `surface` shows the prompts; none shows message boxes over this window.
    MainWindow(MainViewModel& viewModel, DashboardOptions options = {},
               std::unique_ptr<PromptSurface> surface = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    MainDashboardView& dashboard() { return *m_dashboard; }
    PromptPresenter& prompts() { return *m_prompts; }
    SheetHost& sheets() { return *m_sheets; }
    // True once the user agreed to close and the window waits for the disk work to stop.
    bool isClosing() const { return m_closing; }

    // Shows the window in front of the others (another start of the program asked for it).
    void bringToFront();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    // Keeps the least size within the screen's available area less the frame, and opens at a size
    // that fits there.
    void fitToScreen();
    void askBeforeClosing();
    void closeNow();
    // While the question is open: the work it asks about may end on its own.
    void diskWorkChanged();
    QCoro::Task<> closeWhenPrepared();

    MainViewModel& m_viewModel;
    MainDashboardView* m_dashboard = nullptr;
    // Declared in this order so the presenter and the sheets go before the surface they use.
    std::unique_ptr<PromptSurface> m_surface;
    std::unique_ptr<PromptPresenter> m_prompts;
    std::unique_ptr<SheetHost> m_sheets;
    // The question is on show or waiting: another close request asks nothing more.
    bool m_askingToClose = false;
    bool m_closing = false;
    bool m_readyToClose = false;
    // The dashboard's own least size, the size the window opened at, and the frame and screen the
    // sizes were last worked out for.
    QSize m_designedLeastSize;
    QSize m_firstSize;
    QMargins m_fittedFrame;
    QScreen* m_fittedScreen = nullptr;
};

} // namespace orvalink::ui
