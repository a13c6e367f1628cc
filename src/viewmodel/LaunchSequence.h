#pragma once

#include "model/LocalHistoryScope.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
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

    // Creates the application directories (a failure is shown and start-up goes on), puts right
    // the migrations and undos an earlier run left unfinished (what it did comes before the loaded
    // message, what it left needs the user and is shown as an error), refreshes volumes, storage
    // and history, lists the start directory, restores the account, then says that the directory
    // has loaded. Never throws.
    QCoro::Task<> bootstrap();

    // Publishes the saved session and brings it up to date with the account service; on success
    // the account's history is activated and the account's quiet refreshes run (cloud restore,
    // overview, feedback), without a session the guest's history is activated. A session the
    // service no longer accepts is cleared; any other failure leaves the session and scope as they
    // were and shows nothing. Never throws.
    QCoro::Task<> synchronizeBackendStateOnLaunch();

private:
    MainViewModel& m_viewModel;
};

} // namespace orvalink
