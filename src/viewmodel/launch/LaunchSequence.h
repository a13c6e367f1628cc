#pragma once

#include "viewmodel/flow/FlowTicket.h"
#include "viewmodel/texts/RecoveryTexts.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <optional>

namespace orvalink {

class AccountWorkflows;
class DirectoryLoader;
class PersistedStateReader;
class ViewModelContext;

// Start-up of the state object and the account state it restores at launch.
class LaunchSequence : public QObject {
    Q_OBJECT

public:
    LaunchSequence(ViewModelContext& context, PersistedStateReader& persisted, DirectoryLoader& loader,
                   AccountWorkflows& account);

    // Creates the application directories (a failure is shown and start-up goes on), removes what
    // writes killed midway left beside the stores (removeLeftoversOfKilledWrites), puts right the
    // migrations and undos an earlier run left unfinished (see recoverInterruptedOperations),
    // refreshes volumes, storage and history, lists the start directory, restores the account, then
    // says that the directory has loaded, unless another answer (of an undo started meanwhile, say)
    // came after its own last one: that newer answer stays. Never throws.
    QCoro::Task<> bootstrap();

    // Puts right, on the background runner, the operations an earlier run left unfinished: the
    // window stays responsive, says what is being put right meanwhile and how far that has got (as
    // a run's progress, see RecoveryProgress), and no disk workflow starts until it is done
    // (DiskWork::recovery). What it did is said at once and again before the loaded message (unless
    // another answer came meanwhile); what it kept aside stays in the dock
    // (HistoryState::keptVersions); what it left, or waits for, needs the user and is shown as an
    // error. Nothing when there was none.
    QCoro::Task<RecoveryTexts> recoverInterruptedOperations();

    // Publishes the saved session and brings it up to date with the account service; on success
    // the account's history is activated and the account's quiet refreshes run (cloud restore,
    // overview, feedback), without a session the guest's history is activated. A session the
    // service no longer accepts is cleared; any other failure leaves the session and scope as they
    // were and shows nothing. Never throws.
    QCoro::Task<> synchronizeBackendStateOnLaunch();

    // A start-up still running stops at its next step.
    void retire() { m_flows.retire(); }

private:
    ViewModelContext& m_context;
    PersistedStateReader& m_persisted;
    DirectoryLoader& m_loader;
    AccountWorkflows& m_account;
    FlowTicketSource m_flows;
};

} // namespace orvalink
