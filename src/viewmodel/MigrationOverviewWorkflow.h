#pragma once

#include <QCoro/QCoroTask>

namespace orvalink {

class AccountSession;
class MainViewModel;

// Loads the account-wide overview of every device's migration history. Display only: nothing of it
// reaches the local history. Busy flag `isRefreshingMigrationOverview`; a start while it is set
// returns at once (so a flow awaiting a refresh goes on). A failed refresh keeps the previous
// overview; one for a session that ended meanwhile is dropped. Never throws.
class MigrationOverviewWorkflow {
public:
    MigrationOverviewWorkflow(MainViewModel& viewModel, AccountSession& session);

    // Without a session clears the overview and the published fingerprint.
    QCoro::Task<> refreshMigrationOverview(bool userInitiated);

private:
    MainViewModel& m_viewModel;
    AccountSession& m_session;
};

} // namespace orvalink
