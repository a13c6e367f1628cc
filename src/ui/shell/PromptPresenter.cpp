#include "ui/shell/PromptPresenter.h"

#include "ui/views/common/DashboardViewState.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/disk/DiskWorkflows.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/texts/Presentation.h"

#include <QPointer>

namespace orvalink::ui {

PromptPresenter::PromptPresenter(MainViewModel& viewModel, DashboardViewState& state, PromptSurface& surface,
                                 QObject* parent)
    : QObject(parent), m_viewModel(viewModel), m_state(state), m_surface(surface)
{
    // Answers and workflow steps change several values in a row: decide once they have settled.
    m_update.setSingleShot(true);
    m_update.setInterval(0);
    connect(&m_update, &QTimer::timeout, this, &PromptPresenter::update);
    const ActivityState& activity = m_viewModel.activity();
    connect(&activity, &ActivityState::errorMessageChanged, this, &PromptPresenter::schedule);
    connect(&activity, &ActivityState::undoConflictPromptChanged, this, &PromptPresenter::schedule);
    connect(&activity, &ActivityState::migrationConflictPromptChanged, this, &PromptPresenter::schedule);
    connect(&activity, &ActivityState::accessRequirementPromptChanged, this, &PromptPresenter::schedule);
    connect(&m_state, &DashboardViewState::activeSheetChanged, this, &PromptPresenter::schedule);
    schedule();
}

void PromptPresenter::ask(PromptRequest request, PromptSurface::Answer answer)
{
    m_question = Question{std::move(request), std::move(answer)};
    schedule();
}

void PromptPresenter::withdrawQuestion()
{
    m_question.reset();
    if (m_current != Kind::question)
        return;
    ++m_token;
    m_current = Kind::none;
    m_surface.withdraw();
    // A published prompt may have waited behind the question.
    schedule();
}

void PromptPresenter::flush()
{
    m_update.stop();
    update();
}

QString PromptPresenter::shown(const BilingualText& text) const
{
    // A prompt may have waited behind a sheet while the language or presentation privacy was
    // switched there.
    const Presentation& texts = m_viewModel.presentation();
    return texts.sanitizedForPresentation(texts.localized(text));
}

bool PromptPresenter::currentStillWanted() const
{
    const ActivityState& activity = m_viewModel.activity();
    switch (m_current) {
    case Kind::none:
        return false;
    case Kind::question:
        return true;
    case Kind::undoConflict:
        return activity.undoConflictPrompt() && activity.undoConflictPrompt()->id == m_currentId;
    case Kind::migrationConflict:
        return activity.migrationConflictPrompt() && activity.migrationConflictPrompt()->id == m_currentId;
    case Kind::accessRequirement:
        return activity.accessRequirementPrompt() && activity.accessRequirementPrompt()->id == m_currentId;
    case Kind::error:
        return activity.errorMessage() == std::optional(m_currentError) && !activity.undoConflictPrompt() &&
               !activity.migrationConflictPrompt();
    }
    return false;
}

void PromptPresenter::update()
{
    if (m_current != Kind::none) {
        // The window's own question (whether to close) goes before a published prompt even while
        // that is on show: the prompt stays published and shows again if the window stays.
        const bool questionFirst = m_question && m_current != Kind::question;
        if (currentStillWanted() && !questionFirst)
            return;
        ++m_token;
        m_current = Kind::none;
        m_surface.withdraw();
    }
    // A sheet is a modal of its own: everything waits until it closes.
    if (m_state.activeSheet())
        return;
    showNext();
}

void PromptPresenter::showNext()
{
    if (m_question) {
        Question question = std::move(*m_question);
        m_question.reset();
        present(Kind::question, question.request, std::move(question.answer));
        return;
    }
    const ActivityState& activity = m_viewModel.activity();
    if (activity.undoConflictPrompt())
        presentUndoConflict(*activity.undoConflictPrompt());
    else if (activity.migrationConflictPrompt())
        presentMigrationConflict(*activity.migrationConflictPrompt());
    else if (activity.accessRequirementPrompt())
        presentAccessRequirement(*activity.accessRequirementPrompt());
    else if (activity.errorMessage())
        presentError(*activity.errorMessage());
}

void PromptPresenter::present(Kind kind, const PromptRequest& request,
                              std::function<void(std::optional<int>)> handle)
{
    m_current = kind;
    const quint64 token = ++m_token;
    QPointer<PromptPresenter> self(this);
    m_surface.show(request, [self, token, handle = std::move(handle)](std::optional<int> button) {
        if (!self || self->m_token != token)
            return;
        self->m_current = Kind::none;
        handle(button);
        if (self)
            self->schedule();
    });
}

void PromptPresenter::presentUndoConflict(const UndoConflictPrompt& prompt)
{
    m_currentId = prompt.id;
    if (!prompt.holders.isEmpty()) {
        presentUndoHolders(prompt);
        return;
    }
    const PromptRequest request{
        m_viewModel.presentation().localized(
            {QStringLiteral("选择强制恢复方式"), QStringLiteral("Choose a Force Restore Mode")}),
        shown(prompt.message),
        {{m_viewModel.presentation().localized(
              {QStringLiteral("追加恢复（推荐）"), QStringLiteral("Append Restore (Recommended)")}),
          PromptRole::accept},
         {m_viewModel.presentation().localized(
              {QStringLiteral("覆盖恢复"), QStringLiteral("Overwrite Restore")}),
          PromptRole::destructive},
         {m_viewModel.presentation().localized({"取消", "Cancel"}), PromptRole::reject}}};
    MainViewModel* viewModel = &m_viewModel;
    const QUuid id = prompt.id;
    present(Kind::undoConflict, request, [viewModel, id](std::optional<int> button) {
        // The run that asked goes on with the answer; Cancel, Esc and closing leave the item.
        const UndoConflictAnswer answer = button == 0   ? UndoConflictAnswer::appendRestore
                                          : button == 1 ? UndoConflictAnswer::overwriteRestore
                                                        : UndoConflictAnswer::cancel;
        viewModel->workflows().answerUndoConflict(id, answer);
    });
}

void PromptPresenter::presentUndoHolders(const UndoConflictPrompt& prompt)
{
    const PromptRequest request{
        shown(prompt.title),
        shown(prompt.message),
        {{m_viewModel.presentation().localized(
              {QStringLiteral("结束程序并反悔"), QStringLiteral("End Programs and Undo")}),
          PromptRole::destructive},
         {m_viewModel.presentation().localized({"取消", "Cancel"}), PromptRole::reject}}};
    MainViewModel* viewModel = &m_viewModel;
    const QUuid id = prompt.id;
    present(Kind::undoConflict, request, [viewModel, id](std::optional<int> button) {
        viewModel->workflows().answerUndoConflict(id, button == 0 ? UndoConflictAnswer::endPrograms
                                                                  : UndoConflictAnswer::cancel);
    });
}

void PromptPresenter::presentMigrationConflict(const MigrationConflictPrompt& prompt)
{
    m_currentId = prompt.id;
    const PromptRequest request{
        m_viewModel.presentation().localized(
            {QStringLiteral("选择强制迁移方式"), QStringLiteral("Choose a Force Migration Mode")}),
        shown(prompt.message),
        {{m_viewModel.presentation().localized(
              {QStringLiteral("追加迁移（推荐）"), QStringLiteral("Append Migrate (Recommended)")}),
          PromptRole::accept},
         {m_viewModel.presentation().localized(
              {QStringLiteral("覆盖迁移"), QStringLiteral("Overwrite Migrate")}),
          PromptRole::destructive},
         {m_viewModel.presentation().localized({"取消", "Cancel"}), PromptRole::reject}}};
    MainViewModel* viewModel = &m_viewModel;
    const FailedMigrationRecord record = prompt.record;
    present(Kind::migrationConflict, request, [viewModel, record](std::optional<int> button) {
        viewModel->prompts().dismissMigrationConflict();
        if (button == 0 || button == 1) {
            const auto mode = button == 0 ? ForcedMigrationMode::append : ForcedMigrationMode::overwrite;
            // Holder processes are never terminated from here: that is an action of its own.
            startDetached(viewModel->workflows().retryFailedMigration(record, mode, false));
        }
    });
}

void PromptPresenter::presentAccessRequirement(const AccessRequirementPrompt& prompt)
{
    m_currentId = prompt.id;
    const bool signIn = prompt.kind == AccessRequirementPrompt::Kind::requiresSignIn;
    const QString primary = signIn ? m_viewModel.presentation().localized(
                                         {QStringLiteral("打开账户"), QStringLiteral("Open Account")})
                                   : m_viewModel.presentation().localized(
                                         {QStringLiteral("立即获取权限"), QStringLiteral("Get Permission")});
    const PromptRequest request{
        shown(prompt.title),
        shown(prompt.message),
        {{primary, PromptRole::accept},
         {m_viewModel.presentation().localized({"稍后再说", "Later"}), PromptRole::reject}}};
    MainViewModel* viewModel = &m_viewModel;
    DashboardViewState* state = &m_state;
    present(Kind::accessRequirement, request, [viewModel, state, signIn](std::optional<int> button) {
        const bool accepted = button == 0;
        // The account sheet is asked for before the prompt goes, so nothing else slips in between.
        if (accepted && signIn)
            state->setActiveSheet(QuickSheet::account);
        viewModel->prompts().dismissAccessRequirement();
        if (accepted && !signIn)
            startDetached(viewModel->workflows().requestAdministratorAuthorization());
    });
}

void PromptPresenter::presentError(const BilingualText& text)
{
    m_currentError = text;
    const PromptRequest request{m_viewModel.presentation().localized({"错误", "Error"}),
                                shown(text),
                                {{m_viewModel.presentation().localized({"确定", "OK"}), PromptRole::reject}}};
    MainViewModel* viewModel = &m_viewModel;
    present(Kind::error, request, [viewModel](std::optional<int>) { viewModel->prompts().dismissError(); });
}

} // namespace orvalink::ui
