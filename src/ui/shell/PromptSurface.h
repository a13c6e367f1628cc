#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace orvalink::ui {

// What a button of a prompt does to the dialog: the default choice, a choice that destroys or
// replaces something, or the way out (Esc and closing the dialog choose it too).
enum class PromptRole { accept, destructive, reject };

struct PromptButton {
    QString text;
    PromptRole role = PromptRole::accept;
};

// One modal prompt: a title, a message and its buttons in order.
struct PromptRequest {
    QString title;
    QString message;
    QList<PromptButton> buttons;
};

// Where the prompt presenter shows its one modal at a time. The window shows message boxes; tests
// answer by script.
class PromptSurface {
public:
    // The index of the button chosen, or none when the prompt was dismissed some other way.
    using Answer = std::function<void(std::optional<int> button)>;

    virtual ~PromptSurface() = default;
    // Shows `request` without blocking; calls `answer` once, after the prompt has closed. Only one
    // prompt is shown at a time: the presenter withdraws the previous one first.
    virtual void show(const PromptRequest& request, Answer answer) = 0;
    // Closes the prompt on show without calling its answer; nothing when none is shown.
    virtual void withdraw() = 0;
};

} // namespace orvalink::ui
