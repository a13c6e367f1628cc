#pragma once

#include "ui/shell/PromptSurface.h"

#include <QPointer>

class QMessageBox;
class QWidget;

namespace orvalink::ui {

// Shows prompts as window-modal message boxes over `window`, opened with open() so the event loop
// and the running flows go on while the user reads.
class MessageBoxPromptSurface : public PromptSurface {
public:
    explicit MessageBoxPromptSurface(QWidget* window);
    ~MessageBoxPromptSurface() override;

    void show(const PromptRequest& request, Answer answer) override;
    void withdraw() override;

private:
    QPointer<QWidget> m_window;
    QPointer<QMessageBox> m_box;
};

} // namespace orvalink::ui
