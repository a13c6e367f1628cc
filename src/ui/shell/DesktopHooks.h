#pragma once

#include "viewmodel/state/PlatformHooks.h"

#include <QPointer>
#include <QWidget>
#include <memory>

namespace orvalink::ui {

// The desktop services of the real window: the system clipboard, a folder panel that is
// window-modal over the window, and the file manager. A reveal asks the freedesktop FileManager1
// service to show the item selected (through `gdbus`); without such a service the folder that
// holds the item is opened instead, and when nothing opens that either, the reveal reports failure.
class DesktopHooks {
public:
    DesktopHooks();

    // The hooks to build the state object with; they keep working after this object is gone.
    PlatformHooks platformHooks() const;
    // The window the folder panel is modal over; until set, the panel has no parent.
    void setWindow(QWidget* window);

    // The arguments of the `gdbus` call that shows `path` selected in the file manager.
    static QStringList showItemsArguments(const QString& path);

private:
    std::shared_ptr<QPointer<QWidget>> m_window;
};

} // namespace orvalink::ui
