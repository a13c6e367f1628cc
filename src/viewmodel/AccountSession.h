#pragma once

#include "backend/BackendSession.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <exception>
#include <memory>
#include <optional>

namespace orvalink {

class MainViewModel;

// Thrown inside a flow whose session ended (or whose workflows went away) while it waited; the flow
// drops what it was doing and reports nothing.
class SessionEnded : public std::exception {
public:
    const char* what() const noexcept override { return "the account session changed meanwhile"; }
};

// What an account flow holds while it waits for the service: whether the workflows still exist,
// and whether the session it started for is still the one in use. Copies are cheap.
class SessionTicket {
public:
    // False once the workflows are being destroyed: the flow must not touch them any more.
    bool isAlive() const { return !m_epochSource.expired(); }
    // Alive, and no session began or ended since the ticket was taken.
    bool isCurrent() const;
    // Throws SessionEnded unless current.
    void ensureCurrent() const;

private:
    friend class AccountSession;
    SessionTicket(std::weak_ptr<const quint64> epochSource, quint64 epoch)
        : m_epochSource(std::move(epochSource)), m_epoch(epoch)
    {}

    std::weak_ptr<const quint64> m_epochSource;
    quint64 m_epoch;
};

// The account state shared by every account flow: which session is in use (an epoch counter that
// moves whenever a session begins or ends), the history scope that follows it, and the two handlers
// of a failed service call. Main thread only.
class AccountSession {
public:
    explicit AccountSession(MainViewModel& viewModel);

    SessionTicket ticket() const;
    // Expires every ticket; called first when the workflows are destroyed, so flows resumed by the
    // teardown of the network see it before any workflow object is gone.
    void retire();

    // Publishes the session loaded at launch (none included) as a new session.
    void publishSavedSession(const std::optional<BackendSession>& session);
    // Publishes a session just obtained by sign-in or sign-up and activates its history.
    void beginSession(const BackendSession& session);

    // Validates the published session for a flow, renewing it when it is about to expire, and
    // publishes the result. Throws what the validation throws, or SessionEnded when the flow's
    // session ended meanwhile; a renewal the service saved for such a session is then undone, so
    // a signed-out session never comes back from the file.
    QCoro::Task<BackendSession> validSessionFor(SessionTicket ticket);

    // Switches both history stores to the account of `email` (trimmed, lower-cased; none or blank is
    // the guest). A change resets the sync time, the device fingerprint and the overview and reloads
    // the history; the scope in use changes nothing.
    void activateLocalHistoryScope(const std::optional<QString>& email);

    // Ends the session on this computer: deletes the session file (a failure is ignored), clears the
    // published account values (the feedback dashboard unless `keepFeedbackDashboard`) and switches
    // to the guest history.
    void endSessionLocally(bool keepFeedbackDashboard);

    // An unauthorized reply, or a service code beginning with "AUTH_", means the service no longer
    // accepts the session: it is ended locally, the user is asked to sign in again and no error
    // alert competes with that prompt. True when that happened; any other error changes nothing.
    bool handleAuthenticationLossIfNeeded(const std::exception_ptr& error);
    static bool isSessionLoss(const std::exception_ptr& error);

    // A user-started flow shows the error's description; the fallback goes to an empty status line.
    void handleBackendError(const std::exception_ptr& error, const QString& fallback, bool userInitiated);

    // The common error step of the account flows: the loss check, else handleBackendError.
    void reportFailure(const std::exception_ptr& error, const QString& fallback, bool userInitiated);

    // The start of a flow: one the user asked for clears the previous error and status texts.
    void clearMessagesIfUserInitiated(bool userInitiated);

    // This device's fingerprint as it is sent and compared: trimmed and lower-cased.
    static QString normalizedFingerprint(const QString& fingerprint);
    // Reads this device's fingerprint (creating it the first time), publishes its normalized form
    // and returns it. Throws platform::PlatformError when the identity file cannot be written.
    QString publishDeviceFingerprint();

private:
    void undoStaleSave(const BackendSession& renewed);

    MainViewModel& m_viewModel;
    std::shared_ptr<quint64> m_epoch = std::make_shared<quint64>(0);
};

} // namespace orvalink
