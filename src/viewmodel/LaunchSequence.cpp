#include "viewmodel/LaunchSequence.h"

#include "diskops/OperationRecovery.h"
#include "model/AppPaths.h"
#include "viewmodel/AccountWorkflows.h"
#include "viewmodel/ErrorText.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/RecoveryTexts.h"

#include <QLoggingCategory>
#include <QPointer>

namespace orvalink {

Q_LOGGING_CATEGORY(lcLaunch, "orvalink.viewmodel.launch")

LocalHistoryScope historyScopeForEmail(const std::optional<QString>& email)
{
    const QString trimmed = email ? email->trimmed() : QString();
    return trimmed.isEmpty() ? LocalHistoryScope::guest() : LocalHistoryScope::account(trimmed.toLower());
}

LaunchSequence::LaunchSequence(MainViewModel& viewModel) : m_viewModel(viewModel) {}

QCoro::Task<> LaunchSequence::bootstrap()
{
    QPointer<LaunchSequence> self(this);
    std::optional<QString> startFailure;
    try {
        AppPaths::ensureBaseDirectories();
    } catch (const std::exception& error) {
        startFailure = localizedDescription(error);
    }
    // Operations an earlier run left halfway are put right before anything lists or moves data.
    const ViewModelParts& parts = m_viewModel.parts();
    const RecoveryTexts recovery = recoveryTexts(
        OperationRecovery(*parts.privilegedFileOperations, *parts.logService).recoverInterruptedOperations(),
        m_viewModel);
    if (recovery.error)
        startFailure = startFailure ? *startFailure + QLatin1Char(' ') + *recovery.error : *recovery.error;
    if (startFailure)
        m_viewModel.setErrorMessage(startFailure);
    m_viewModel.setAvailableVolumes(m_viewModel.parts().volumeService->listVolumes());
    m_viewModel.refreshStorageUsageSnapshot();
    m_viewModel.reloadPersistedState();

    try {
        auto load = m_viewModel.loadCurrentDirectoryForNavigation(false);
        co_await std::move(load);
    } catch (const std::exception& error) {
        qCWarning(lcLaunch) << "the first listing failed:" << error.what();
    }
    if (!self)
        co_return;
    // The listing clears the message when it starts; without this the user would never learn that
    // nothing can be saved, or what an interrupted operation left. A listing failure of its own is
    // newer and stays.
    if (startFailure && !m_viewModel.errorMessage())
        m_viewModel.setErrorMessage(startFailure);
    auto synchronization = synchronizeBackendStateOnLaunch();
    co_await std::move(synchronization);
    if (!self)
        co_return;
    const QString loaded =
        m_viewModel.localized(QStringLiteral("已加载目录。点击“立即扫描”执行深度扫描。"),
                              QStringLiteral("Directory loaded. Click \"Scan Now\" for deep scan."));
    m_viewModel.setInfoMessage(recovery.info ? *recovery.info + QLatin1Char(' ') + loaded : loaded);
}

QCoro::Task<> LaunchSequence::synchronizeBackendStateOnLaunch()
{
    QPointer<LaunchSequence> self(this);
    AccountWorkflows& account = m_viewModel.accountWorkflows();
    const std::optional<BackendSession> saved = m_viewModel.parts().backendAuthService->sessionStore().load();
    account.session().publishSavedSession(saved);
    if (!saved) {
        m_viewModel.setFeedbackDashboard(std::nullopt);
        m_viewModel.activateLocalHistoryScope(std::nullopt);
        co_return;
    }

    const SessionTicket ticket = account.session().ticket();
    std::exception_ptr failure;
    std::optional<BackendSession> current;
    try {
        auto validation = account.session().validSessionFor(ticket);
        current = co_await std::move(validation);
    } catch (...) {
        failure = std::current_exception();
    }
    // The user may have signed in or out meanwhile; then this answer is about a session that is
    // no longer shown.
    if (!self || !ticket.isCurrent())
        co_return;
    if (failure) {
        m_viewModel.handleAuthenticationLossIfNeeded(failure);
        co_return;
    }
    m_viewModel.activateLocalHistoryScope(current->email);
    auto followUps = account.auth().runSessionFollowUps();
    co_await std::move(followUps);
}

} // namespace orvalink
