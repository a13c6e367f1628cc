#pragma once

#include "viewmodel/flow/FlowTicket.h"

#include <QCoro/QCoroTask>

namespace orvalink {

class AccountSession;
class ViewModelContext;

// Loads the account-wide overview of every device's migration history. Display only: nothing of it
// reaches the local history. Busy flag `isRefreshingMigrationOverview`; a start while it is set
// returns at once (so a flow awaiting a refresh goes on). A failed refresh keeps the previous
// overview; one for a session that ended meanwhile is dropped. Never throws.
class MigrationOverviewWorkflow {
public:
    MigrationOverviewWorkflow(ViewModelContext& context, AccountSession& session);

    // Without a session clears the overview and the published fingerprint.
    QCoro::Task<> refreshMigrationOverview(bool userInitiated);

private:
    // Validates the session, then loads and publishes the overview. Throws the failure to report.
    QCoro::Task<> loadOverview(FlowTicket ticket, bool userInitiated);

    ViewModelContext& m_context;
    AccountSession& m_session;
};

} // namespace orvalink
