#pragma once

#include "ui/views/common/DashboardViewState.h"
#include "ui/views/sidebar/SidebarColumnView.h"

#include <QWidget>
#include <memory>

namespace orvalink {
class MainViewModel;
}

namespace orvalink::test {

// The sidebar column in a window of its own over a real state object, shown off screen and active,
// so clicks, keys and window shortcuts reach it as they reach the user's window.
class SidebarHarness {
public:
    explicit SidebarHarness(MainViewModel& viewModel, QSize size = QSize(560, 1500));

    template <typename Widget> Widget* find(const char* name) const
    {
        return window->findChild<Widget*>(QString::fromLatin1(name));
    }
    // Lists the current directory again and waits until it and its sizes are in; false on time-out.
    bool reload();
    // Runs the pending refresh, so the labels show the state now.
    void settle();
    // Every text the user can read in the column: labels, fields, buttons, chips, menus' options
    // and the rows' names.
    QStringList visibleTexts() const;
    // The window as painted, saved under <build>/screens/<name>.png; returns the image.
    QImage screenshot(const QString& name);

    MainViewModel& viewModel;
    ui::DashboardViewState state;
    std::unique_ptr<QWidget> window;
    ui::SidebarColumnView* sidebar = nullptr;
    // The window became the active one (window shortcuts need it).
    bool active = false;
};

} // namespace orvalink::test
