#pragma once

#include "backend/AuthSessionStore.h"
#include "model/LocalHistoryScope.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <exception>
#include <optional>

namespace orvalink {

class MainViewModel;

// The history scope of an account e-mail: trimmed and lower-cased; none or blank is the guest.
LocalHistoryScope historyScopeForEmail(const std::optional<QString>& email);

// Start-up of a MainViewModel and the account state it restores at launch.
class LaunchSequence : public QObject {
    Q_OBJECT

public:
    explicit LaunchSequence(MainViewModel& viewModel);

    // Creates the application directories (a failure is shown and start-up goes on), refreshes
    // volumes, storage and history, lists the start directory, restores the account, then says
    // that the directory has loaded. Never throws.
    QCoro::Task<> bootstrap();

    // Publishes the saved session and brings it up to date with the account service; on success
    // the account's history is activated, without a session the guest's. A session the service
    // no longer accepts is cleared; any other failure leaves the session and scope as they were.
    // Never throws.
    QCoro::Task<> synchronizeBackendStateOnLaunch();

    void activateLocalHistoryScope(const std::optional<QString>& email);

    // An unauthorized answer, or a service code beginning with "AUTH_", means the session is gone:
    // the saved session is cleared, none is published and the guest history is activated. Other
    // errors change nothing. True when the session was dropped. Only what launch needs; the account
    // workflows extend it with what they show the user.
    bool handleAuthenticationLossIfNeeded(const std::exception_ptr& error);

private:
    MainViewModel& m_viewModel;
};

} // namespace orvalink
