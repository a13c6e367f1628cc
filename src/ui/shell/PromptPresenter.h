#pragma once

#include "ui/shell/PromptSurface.h"
#include "viewmodel/state/BilingualText.h"

#include <QObject>
#include <QTimer>
#include <QUuid>
#include <optional>

namespace orvalink {
class MainViewModel;
struct AccessRequirementPrompt;
struct MigrationConflictPrompt;
struct UndoConflictPrompt;
} // namespace orvalink

namespace orvalink::ui {

class DashboardViewState;

// Shows the prompts the workflows publish on the state object, one modal at a time, in this order:
// a question of the window itself (closing while disk work runs), the force-restore choice, the
// force-migration choice, the access requirement, the error. The error is held back while a
// conflict choice is published; every prompt waits while a quick sheet or another prompt is open.
// Answering clears the published value first and then starts the chosen flow (a restore run's
// question is answered into the run that asked it, Cancel and dismissal too); a dismissal of the
// others only clears it. A prompt whose value goes away (or is replaced) while it is on show is withdrawn.
class PromptPresenter : public QObject {
    Q_OBJECT

public:
    enum class Kind { none, question, undoConflict, migrationConflict, accessRequirement, error };

    PromptPresenter(MainViewModel& viewModel, DashboardViewState& state, PromptSurface& surface,
                    QObject* parent = nullptr);

    // The prompt on show now.
    Kind current() const { return m_current; }
    // Asks the window's own question before every published prompt (one on show steps back and
    // shows again afterwards); `answer` gets the button index, or none on dismissal. A question asked
    // while another is pending replaces it unanswered.
    void ask(PromptRequest request, PromptSurface::Answer answer);
    // Takes the window's question back unanswered, on show or waiting; its answer is never called.
    void withdrawQuestion();
    // Re-evaluates now instead of on the next turn of the event loop.
    void flush();

private:
    struct Question {
        PromptRequest request;
        PromptSurface::Answer answer;
    };

    void schedule() { m_update.start(); }
    void update();
    bool currentStillWanted() const;
    void showNext();
    void present(Kind kind, const PromptRequest& request, std::function<void(std::optional<int>)> handle);
    void presentUndoConflict(const UndoConflictPrompt& prompt);
    // The programs holding a migrated item: end them and undo, or leave it.
    void presentUndoHolders(const UndoConflictPrompt& prompt);
    void presentMigrationConflict(const MigrationConflictPrompt& prompt);
    void presentAccessRequirement(const AccessRequirementPrompt& prompt);
    void presentError(const BilingualText& text);
    // Texts of the published prompts in the language in force, masked as privacy stands when they
    // are shown.
    QString shown(const BilingualText& text) const;

    MainViewModel& m_viewModel;
    DashboardViewState& m_state;
    PromptSurface& m_surface;
    QTimer m_update;
    Kind m_current = Kind::none;
    // What the prompt on show presents: the published prompt's id, or the error's text.
    QUuid m_currentId;
    BilingualText m_currentError;
    // Answers of a withdrawn prompt are ignored.
    quint64 m_token = 0;
    std::optional<Question> m_question;
};

} // namespace orvalink::ui
