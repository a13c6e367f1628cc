#pragma once

#include "FitWindow.h"

#include <chrono>

namespace orvalink {
class ViewModelContext;
}

namespace orvalink::test {

// The window at `size` in undo mode, its history holding `records` migrated folders, with the
// dock's timed collapse shortened to `collapse`.
struct UndoWindow {
    UndoWindow(QSize size, int records = 6, UILanguage language = UILanguage::bilingual,
               std::chrono::milliseconds collapse = std::chrono::milliseconds(300));

    // Shows the window and brings it into undo mode; false when it did not start.
    [[nodiscard]] bool open();
    // Publishes what an undo of `mapping` publishes, start to end; with `copiesLeft`, an undo done
    // but for that many copies the volume kept, which holds the dock open.
    void runUndo(LinkMapping mapping, qsizetype copiesLeft = 0);
    // Scrolls the detail column to `widget`, as the user would before pointing at it.
    void bringIntoView(QWidget* widget);

    ViewModelContext& context();
    QWidget& window() { return *fit.w->window; }
    template <typename T> T* find(const char* name)
    {
        return window().findChild<T*>(QString::fromLatin1(name));
    }

    FitWindow fit;
    int count;
    std::chrono::milliseconds collapseInterval;
};

} // namespace orvalink::test
