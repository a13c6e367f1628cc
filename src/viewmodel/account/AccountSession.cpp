#include "viewmodel/account/AccountSession.h"

#include "backend/ClientError.h"
#include "viewmodel/account/AccountFailureText.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/history/PersistedStateReader.h"
#include "viewmodel/texts/ErrorText.h"

#include <QLoggingCategory>

namespace orvalink {

Q_LOGGING_CATEGORY(lcAccount, "orvalink.viewmodel.account")

LocalHistoryScope historyScopeForEmail(const std::optional<QString>& email)
{
    const QString trimmed = email ? email->trimmed() : QString();
    return trimmed.isEmpty() ? LocalHistoryScope::guest() : LocalHistoryScope::account(trimmed.toLower());
}

AccountSession::AccountSession(ViewModelContext& context, PersistedStateReader& persisted)
    : m_context(context), m_persisted(persisted)
{}

FlowTicket AccountSession::ticket() const
{
    return m_sessions.ticket();
}

void AccountSession::retire()
{
    m_sessions.retire();
}

void AccountSession::publishSavedSession(const std::optional<BackendSession>& session)
{
    m_sessions.advance();
    m_context.accountState().setBackendSession(session);
}

void AccountSession::beginSession(const BackendSession& session)
{
    m_sessions.advance();
    m_context.accountState().setBackendSession(session);
    activateLocalHistoryScope(session.email);
}

QCoro::Task<std::optional<BackendSession>> AccountSession::validSessionFor(FlowTicket ticket)
{
    // Held by this frame: a reply may resume it after the state object is gone.
    const std::shared_ptr<BackendAuthService> auth = m_context.services().backendAuthService;
    auto validation = auth->ensureValidSession(m_context.browsing().config().backendBaseURL,
                                               m_context.accountState().backendSession());
    BackendSession session = co_await std::move(validation);
    if (!ticket.isAlive())
        co_return std::nullopt;
    if (!ticket.isCurrent()) {
        undoStaleSave(session);
        co_return std::nullopt;
    }
    m_context.accountState().setBackendSession(session);
    co_return session;
}

void AccountSession::undoStaleSave(const BackendSession& renewed)
{
    // The service saves a renewed session before handing it back. When that session ended while the
    // renewal was out, the file must say what is in use now: the newer session, or none.
    const AuthSessionStore& store = m_context.services().backendAuthService->sessionStore();
    const std::optional<BackendSession> saved = store.load();
    if (!saved || saved->refreshToken != renewed.refreshToken)
        return;
    try {
        if (const std::optional<BackendSession>& inUse = m_context.accountState().backendSession()) {
            try {
                store.save(*inUse);
            } catch (const std::exception& error) {
                qCWarning(lcAccount) << "could not restore the session file:" << error.what();
                store.clear();
            }
        } else {
            store.clear();
        }
    } catch (const std::exception& error) {
        qCWarning(lcAccount) << "could not remove the session file:" << error.what();
    }
}

void AccountSession::activateLocalHistoryScope(const std::optional<QString>& email)
{
    const LocalHistoryScope scope = historyScopeForEmail(email);
    if (scope == m_context.localHistoryScope())
        return;
    m_context.setHistoryScope(scope);
    m_context.accountState().setLastMigrationSyncAt(std::nullopt);
    m_context.accountState().setCurrentMigrationDeviceFingerprint(std::nullopt);
    m_context.accountState().setMigrationAccountOverview(std::nullopt);
    startDetached(m_persisted.reloadPersistedState());
}

std::optional<QString> AccountSession::endSessionLocally(bool keepFeedbackDashboard)
{
    m_sessions.advance();
    std::optional<QString> fileKept;
    try {
        m_context.services().backendAuthService->sessionStore().clear();
    } catch (const std::exception& error) {
        qCWarning(lcAccount) << "could not remove the session file:" << error.what();
        fileKept = localizedDescription(error);
    }
    m_context.accountState().setBackendSession(std::nullopt);
    m_context.accountState().setCurrentMigrationDeviceFingerprint(std::nullopt);
    m_context.accountState().setMigrationAccountOverview(std::nullopt);
    if (!keepFeedbackDashboard)
        m_context.accountState().setFeedbackDashboard(std::nullopt);
    activateLocalHistoryScope(std::nullopt);
    return fileKept;
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
    const BilingualText expired(QStringLiteral("登录已失效，请重新登录。"),
                                QStringLiteral("Session expired. Please sign in again."));
    m_context.accountState().setBackendStatusMessage(expired);
    m_context.activity().setAccessRequirementPrompt(
        AccessRequirementPrompt{QUuid::createUuid(), AccessRequirementPrompt::Kind::requiresSignIn,
                                BilingualText("需要重新登录", "Sign In Required"), expired});
    m_context.activity().setErrorMessage(std::nullopt);
    return true;
}

void AccountSession::handleBackendError(const std::exception_ptr& error, const BilingualText& fallback,
                                        bool userInitiated)
{
    if (userInitiated)
        m_context.activity().setErrorMessage(accountFailureText(error));
    const std::optional<BilingualText>& status = m_context.accountState().backendStatusMessage();
    if (!status || status->isEmpty())
        m_context.accountState().setBackendFailureStatus(
            isServiceUnreachable(error) ? serviceUnreachableText() : fallback);
}

void AccountSession::reportFailure(const std::exception_ptr& error, const BilingualText& fallback,
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
        m_context.services().backendAuthService->deviceIdentityStore().currentFingerprint());
    m_context.accountState().setCurrentMigrationDeviceFingerprint(fingerprint);
    return fingerprint;
}

void AccountSession::clearMessagesIfUserInitiated(bool userInitiated)
{
    if (!userInitiated)
        return;
    m_context.activity().setErrorMessage(std::nullopt);
    m_context.accountState().setBackendStatusMessage(std::nullopt);
}

FlowTicket AccountSession::beginFlow(BusyFlag busy, bool clearMessages)
{
    (m_context.accountState().*busy)(true);
    clearMessagesIfUserInitiated(clearMessages);
    return ticket();
}

QCoro::Task<> AccountSession::finishFlow(QCoro::Task<> work, FlowTicket ticket, BusyFlag busy,
                                         FailureReport report, BilingualText fallback, bool userInitiated)
{
    std::exception_ptr failure;
    try {
        co_await std::move(work);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!ticket.isAlive())
        co_return;
    if (failure) {
        if (report == FailureReport::withoutSession)
            handleBackendError(failure, fallback, userInitiated);
        else if (ticket.isCurrent())
            reportFailure(failure, fallback, userInitiated);
    }
    (m_context.accountState().*busy)(false);
}

} // namespace orvalink
