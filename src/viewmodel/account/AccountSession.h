#pragma once

#include "backend/BackendSession.h"
#include "model/LocalHistoryScope.h"
#include "viewmodel/flow/FlowTicket.h"
#include "viewmodel/state/BilingualText.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <exception>
#include <memory>
#include <optional>

namespace orvalink {

class AccountState;
class PersistedStateReader;
class ViewModelContext;

// The history scope of an account e-mail: trimmed and lower-cased; none or blank is the guest.
LocalHistoryScope historyScopeForEmail(const std::optional<QString>& email);

// The account state shared by every account flow: which session is in use (an epoch counter that
// moves whenever a session begins or ends), the history scope that follows it, and the two handlers
// of a failed service call. Main thread only.
class AccountSession {
public:
    AccountSession(ViewModelContext& context, PersistedStateReader& persisted);

    // A ticket of the session in use: stale once the account flows are retired, no longer current
    // once a session begins or ends.
    FlowTicket ticket() const;
    // Expires every ticket; called first when the workflows are destroyed, so flows resumed by the
    // teardown of the network see it before any workflow object is gone.
    void retire();

    // Publishes the session loaded at launch (none included) as a new session.
    void publishSavedSession(const std::optional<BackendSession>& session);
    // Publishes a session just obtained by sign-in or sign-up and activates its history.
    void beginSession(const BackendSession& session);

    // Validates the published session for a flow, renewing it when it is about to expire, and
    // publishes the result. Throws what the validation throws. None when `ticket` is no longer
    // current (the flow then ends quietly); a renewal the service saved for a session that ended
    // meanwhile is then undone, so a signed-out session never comes back from the file.
    QCoro::Task<std::optional<BackendSession>> validSessionFor(FlowTicket ticket);

    // Switches both history stores to the account of `email` (trimmed, lower-cased; none or blank is
    // the guest). A change resets the sync time, the device fingerprint and the overview and starts
    // a reload of the history (published when read); the scope in use changes nothing.
    void activateLocalHistoryScope(const std::optional<QString>& email);

    // Ends the session on this computer: deletes the session file, clears the published account
    // values (the feedback dashboard unless `keepFeedbackDashboard`) and switches to the guest
    // history. When the file could not be deleted (the session would come back at the next start)
    // the rest is done all the same and the answer is the reason, for the caller to tell.
    std::optional<QString> endSessionLocally(bool keepFeedbackDashboard);

    // An unauthorized reply, or a service code beginning with "AUTH_", means the service no longer
    // accepts the session: it is ended locally, the user is asked to sign in again and no error
    // alert competes with that prompt. True when that happened; any other error changes nothing.
    bool handleAuthenticationLossIfNeeded(const std::exception_ptr& error);
    static bool isSessionLoss(const std::exception_ptr& error);

    // A user-started flow shows the error's description; the fallback goes to an empty status line.
    void handleBackendError(const std::exception_ptr& error, const BilingualText& fallback,
                            bool userInitiated);

    // The common error step of the account flows: the loss check, else handleBackendError.
    void reportFailure(const std::exception_ptr& error, const BilingualText& fallback, bool userInitiated);

    // The start of a flow: one the user asked for clears the previous error and status texts.
    void clearMessagesIfUserInitiated(bool userInitiated);

    // The busy flag of one account flow (a setter of AccountState).
    using BusyFlag = void (AccountState::*)(const bool&);
    // How a failed flow is reported: for the session in use only, after the loss check
    // (reportFailure); or whatever the session, never ending it (handleBackendError).
    enum class FailureReport { currentSession, withoutSession };

    // The steps every account flow shares around its own work. beginFlow() sets the busy flag,
    // clears the previous texts when asked to and returns the flow's ticket; the flow then starts
    // its work with that ticket (the work returns quietly once the ticket is no longer current, and
    // throws only failures to report) and hands it to finishFlow(), which awaits it and, unless the
    // account flows were retired meanwhile, reports its failure as `report` says (with `fallback`
    // where the failure has no text of its own) and clears the busy flag. Never throws.
    FlowTicket beginFlow(BusyFlag busy, bool clearMessages);
    QCoro::Task<> finishFlow(QCoro::Task<> work, FlowTicket ticket, BusyFlag busy, FailureReport report,
                             BilingualText fallback, bool userInitiated);

    // This device's fingerprint as it is sent and compared: trimmed and lower-cased.
    static QString normalizedFingerprint(const QString& fingerprint);
    // Reads this device's fingerprint (creating it the first time), publishes its normalized form
    // and returns it. Throws platform::PlatformError when the identity file cannot be written.
    QString publishDeviceFingerprint();

private:
    void undoStaleSave(const BackendSession& renewed);

    ViewModelContext& m_context;
    PersistedStateReader& m_persisted;
    // Advanced whenever a session begins or ends.
    FlowTicketSource m_sessions;
};

} // namespace orvalink
