#include "viewmodel/LaunchSequence.h"

#include "backend/ClientError.h"
#include "model/AppPaths.h"
#include "viewmodel/ErrorText.h"
#include "viewmodel/MainViewModel.h"

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
    std::optional<QString> directoriesFailure;
    try {
        AppPaths::ensureBaseDirectories();
    } catch (const std::exception& error) {
        directoriesFailure = localizedDescription(error);
        m_viewModel.setErrorMessage(directoriesFailure);
    }
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
    // nothing can be saved. A listing failure of its own is newer and stays.
    if (directoriesFailure && !m_viewModel.errorMessage())
        m_viewModel.setErrorMessage(directoriesFailure);
    auto synchronization = synchronizeBackendStateOnLaunch();
    co_await std::move(synchronization);
    if (!self)
        co_return;
    m_viewModel.setInfoMessage(
        m_viewModel.localized(QStringLiteral("已加载目录。点击“立即扫描”执行深度扫描。"),
                              QStringLiteral("Directory loaded. Click \"Scan Now\" for deep scan.")));
}

QCoro::Task<> LaunchSequence::synchronizeBackendStateOnLaunch()
{
    QPointer<LaunchSequence> self(this);
    BackendAuthService& auth = *m_viewModel.parts().backendAuthService;
    const std::optional<BackendSession> saved = auth.sessionStore().load();
    m_viewModel.setBackendSession(saved);
    if (!saved) {
        m_viewModel.setFeedbackDashboard(std::nullopt);
        activateLocalHistoryScope(std::nullopt);
        co_return;
    }

    std::exception_ptr failure;
    std::optional<BackendSession> current;
    try {
        auto validation = auth.ensureValidSession(m_viewModel.config().backendBaseURL, saved);
        current = co_await std::move(validation);
    } catch (...) {
        failure = std::current_exception();
    }
    // The user may have signed in or out meanwhile; then this answer is about a session that is
    // no longer shown.
    if (!self || m_viewModel.backendSession() != saved)
        co_return;
    if (failure) {
        handleAuthenticationLossIfNeeded(failure);
        co_return;
    }
    m_viewModel.setBackendSession(current);
    activateLocalHistoryScope(current->email);
    // INTEGRATION POINT (account workflows): restoring the cloud snapshot when the local history
    // is empty, the multi-device overview and the feedback dashboard follow here, in this order.
}

void LaunchSequence::activateLocalHistoryScope(const std::optional<QString>& email)
{
    m_viewModel.setHistoryScope(historyScopeForEmail(email));
    m_viewModel.reloadPersistedState();
}

bool LaunchSequence::handleAuthenticationLossIfNeeded(const std::exception_ptr& error)
{
    bool lost = false;
    try {
        std::rethrow_exception(error);
    } catch (const ClientError& clientError) {
        lost = clientError.kind() == ClientError::Kind::unauthorized ||
               (clientError.kind() == ClientError::Kind::server &&
                clientError.code().startsWith(QLatin1String("AUTH_")));
    } catch (...) {
    }
    if (!lost)
        return false;
    m_viewModel.parts().backendAuthService->sessionStore().clear();
    m_viewModel.setBackendSession(std::nullopt);
    activateLocalHistoryScope(std::nullopt);
    return true;
}

} // namespace orvalink
