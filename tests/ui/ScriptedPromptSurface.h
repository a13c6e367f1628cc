#pragma once

#include "ui/shell/PromptSurface.h"

#include <QList>
#include <QObject>
#include <QString>
#include <optional>

namespace orvalink::test {

// Shows no window: records every prompt it is asked to show and answers from a script, so window
// tests never wait for a human. An answer names a button by its text; none dismisses the prompt
// (Esc or closing). Scripted answers are given on the next turn of the event loop, as a user would.
class ScriptedPromptSurface : public QObject, public ui::PromptSurface {
    Q_OBJECT

public:
    void show(const ui::PromptRequest& request, Answer answer) override;
    void withdraw() override;

    // Queues answers for the prompts to come, one per prompt.
    void script(std::optional<QString> buttonText) { m_script.append(std::move(buttonText)); }
    // Answers the open prompt now; false when none is open or it has no such button.
    bool answer(const std::optional<QString>& buttonText);

    bool isOpen() const { return m_open.has_value(); }
    // The title of the open prompt, or an empty text.
    QString openTitle() const { return m_open ? m_open->title : QString(); }
    const std::optional<ui::PromptRequest>& open() const { return m_open; }
    // Every prompt shown so far, and how many were withdrawn before an answer.
    const QList<ui::PromptRequest>& shown() const { return m_shown; }
    QStringList shownTitles() const;
    int withdrawn() const { return m_withdrawn; }

private:
    void answerFromScript(quint64 generation);

    QList<std::optional<QString>> m_script;
    QList<ui::PromptRequest> m_shown;
    std::optional<ui::PromptRequest> m_open;
    Answer m_answer;
    quint64 m_generation = 0;
    int m_withdrawn = 0;
};

} // namespace orvalink::test
