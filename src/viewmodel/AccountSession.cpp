#include "viewmodel/AccountSession.h"

#include "backend/ClientError.h"
#include "viewmodel/ErrorText.h"
#include "viewmodel/LaunchSequence.h"
#include "viewmodel/MainViewModel.h"

#include <QLoggingCategory>

namespace orvalink {

Q_LOGGING_CATEGORY(lcAccount, "orvalink.viewmodel.account")

bool SessionTicket::isCurrent() const
{
    const std::shared_ptr<const quint64> epoch = m_epochSource.lock();
    return epoch && *epoch == m_epoch;
}

void SessionTicket::ensureCurrent() const
{
    if (!isCurrent())
        throw SessionEnded();
}

AccountSession::AccountSession(MainViewModel& viewModel) : m_viewModel(viewModel) {}

SessionTicket AccountSession::ticket() const
{
    return SessionTicket(m_epoch, m_epoch ? *m_epoch : 0);
}

void AccountSession::retire()
{
    m_epoch.reset();
}

void AccountSession::publishSavedSession(const std::optional<BackendSession>& session)
{
    ++*m_epoch;
    m_viewModel.setBackendSession(session);
}

void AccountSession::beginSession(const BackendSession& session)
{
    ++*m_epoch;
    m_viewModel.setBackendSession(session);
    activateLocalHistoryScope(session.email);
}

QCoro::Task<BackendSession> AccountSession::validSessionFor(SessionTicket ticket)
{
    BackendAuthService& auth = *m_viewModel.parts().backendAuthService;
    auto validation =
        auth.ensureValidSession(m_viewModel.config().backendBaseURL, m_viewModel.backendSession());
    BackendSession session = co_await std::move(validation);
    if (!ticket.isAlive())
        throw SessionEnded();
    if (!ticket.isCurrent()) {
        undoStaleSave(session);
        throw SessionEnded();
    }
    m_viewModel.setBackendSession(session);
    co_return session;
}

void AccountSession::undoStaleSave(const BackendSession& renewed)
{
    // The service saves a renewed session before handing it back. When that session ended while the
    // renewal was out, the file must say what is in use now: the newer session, or none.
    const AuthSessionStore& store = m_viewModel.parts().backendAuthService->sessionStore();
    const std::optional<BackendSession> saved = store.load();
    if (!saved || saved->refreshToken != renewed.refreshToken)
        return;
    if (const std::optional<BackendSession>& inUse = m_viewModel.backendSession()) {
        try {
            store.save(*inUse);
        } catch (const std::exception& error) {
            qCWarning(lcAccount) << "could not restore the session file:" << error.what();
            store.clear();
        }
    } else {
        store.clear();
    }
}

void AccountSession::activateLocalHistoryScope(const std::optional<QString>& email)
{
    const LocalHistoryScope scope = historyScopeForEmail(email);
    if (scope == m_viewModel.localHistoryScope())
        return;
    m_viewModel.setHistoryScope(scope);
    m_viewModel.setLastMigrationSyncAt(std::nullopt);
    m_viewModel.setCurrentMigrationDeviceFingerprint(std::nullopt);
    m_viewModel.setMigrationAccountOverview(std::nullopt);
    m_viewModel.reloadPersistedState();
}

void AccountSession::endSessionLocally(bool keepFeedbackDashboard)
{
    ++*m_epoch;
    m_viewModel.parts().backendAuthService->sessionStore().clear();
    m_viewModel.setBackendSession(std::nullopt);
    m_viewModel.setCurrentMigrationDeviceFingerprint(std::nullopt);
    m_viewModel.setMigrationAccountOverview(std::nullopt);
    if (!keepFeedbackDashboard)
        m_viewModel.setFeedbackDashboard(std::nullopt);
    activateLocalHistoryScope(std::nullopt);
}

bool AccountSession::isSessionLoss(const std::exception_ptr& error)
{
    if (!error)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const ClientError& clientError) {
        return clientError.kind() == ClientError::Kind::unauthorized ||
               (clientError.kind() == ClientError::Kind::server &&
                clientError.code().startsWith(QLatin1String("AUTH_")));
    } catch (...) {
    }
    return false;
}

bool AccountSession::handleAuthenticationLossIfNeeded(const std::exception_ptr& error)
{
    if (!isSessionLoss(error))
        return false;
    endSessionLocally(false);
    const QString expired = m_viewModel.localized(QStringLiteral("登录已失效，请重新登录。"),
                                                  QStringLiteral("Session expired. Please sign in again."));
    m_viewModel.setBackendStatusMessage(expired);
    m_viewModel.setAccessRequirementPrompt(AccessRequirementPrompt{
        QUuid::createUuid(), AccessRequirementPrompt::Kind::requiresSignIn,
        m_viewModel.localized(QStringLiteral("需要重新登录"), QStringLiteral("Sign In Required")), expired});
    m_viewModel.setErrorMessage(std::nullopt);
    return true;
}

void AccountSession::handleBackendError(const std::exception_ptr& error, const QString& fallback,
                                        bool userInitiated)
{
    if (userInitiated)
        m_viewModel.setErrorMessage(localizedDescription(error));
    const std::optional<QString>& status = m_viewModel.backendStatusMessage();
    if (!status || status->isEmpty())
        m_viewModel.setBackendStatusMessage(fallback);
}

void AccountSession::reportFailure(const std::exception_ptr& error, const QString& fallback,
                                   bool userInitiated)
{
    if (!handleAuthenticationLossIfNeeded(error))
        handleBackendError(error, fallback, userInitiated);
}

QString AccountSession::normalizedFingerprint(const QString& fingerprint)
{
    return fingerprint.trimmed().toLower();
}

QString AccountSession::publishDeviceFingerprint()
{
    const QString fingerprint = normalizedFingerprint(
        m_viewModel.parts().backendAuthService->deviceIdentityStore().currentFingerprint());
    m_viewModel.setCurrentMigrationDeviceFingerprint(fingerprint);
    return fingerprint;
}

void AccountSession::clearMessagesIfUserInitiated(bool userInitiated)
{
    if (!userInitiated)
        return;
    m_viewModel.setErrorMessage(std::nullopt);
    m_viewModel.setBackendStatusMessage(std::nullopt);
}

} // namespace orvalink
