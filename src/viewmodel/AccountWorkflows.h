#pragma once

#include "viewmodel/AccountSession.h"
#include "viewmodel/AuthWorkflows.h"
#include "viewmodel/CloudSyncWorkflow.h"
#include "viewmodel/FeedbackWorkflow.h"
#include "viewmodel/MigrationOverviewWorkflow.h"
#include "viewmodel/SignInRequirements.h"

namespace orvalink {

class MainViewModel;

// Every account and cloud-sync flow of a MainViewModel, with the session state they share.
// Destroying it first expires every flow's ticket, so a flow resumed while the view model is torn
// down touches nothing.
class AccountWorkflows {
public:
    explicit AccountWorkflows(MainViewModel& viewModel);
    ~AccountWorkflows();
    AccountWorkflows(const AccountWorkflows&) = delete;
    AccountWorkflows& operator=(const AccountWorkflows&) = delete;

    AccountSession& session() { return m_session; }
    AuthWorkflows& auth() { return m_auth; }
    SignInRequirements& requirements() { return m_requirements; }
    FeedbackWorkflow& feedback() { return m_feedback; }
    CloudSyncWorkflow& cloudSync() { return m_cloudSync; }
    MigrationOverviewWorkflow& overview() { return m_overview; }

private:
    AccountSession m_session;
    AuthWorkflows m_auth;
    SignInRequirements m_requirements;
    FeedbackWorkflow m_feedback;
    CloudSyncWorkflow m_cloudSync;
    MigrationOverviewWorkflow m_overview;
};

} // namespace orvalink
