#pragma once

#include "viewmodel/account/AccountSession.h"
#include "viewmodel/account/AccountTexts.h"
#include "viewmodel/account/AuthWorkflows.h"
#include "viewmodel/account/CloudSyncWorkflow.h"
#include "viewmodel/account/FeedbackWorkflow.h"
#include "viewmodel/account/MigrationOverviewWorkflow.h"
#include "viewmodel/account/SignInRequirements.h"

namespace orvalink {

class PersistedStateReader;
class ViewModelContext;

// Every account and cloud-sync flow, with the session state they share, and the account texts.
// Destroying it first expires every flow's ticket, so a flow resumed while the state object is torn
// down touches nothing.
class AccountWorkflows {
public:
    AccountWorkflows(ViewModelContext& context, PersistedStateReader& persisted);
    ~AccountWorkflows();
    AccountWorkflows(const AccountWorkflows&) = delete;
    AccountWorkflows& operator=(const AccountWorkflows&) = delete;

    AccountSession& session() { return m_session; }
    AuthWorkflows& auth() { return m_auth; }
    SignInRequirements& requirements() { return m_requirements; }
    FeedbackWorkflow& feedback() { return m_feedback; }
    CloudSyncWorkflow& cloudSync() { return m_cloudSync; }
    MigrationOverviewWorkflow& overview() { return m_overview; }
    const AccountTexts& texts() const { return m_texts; }

private:
    AccountSession m_session;
    SignInRequirements m_requirements;
    FeedbackWorkflow m_feedback;
    MigrationOverviewWorkflow m_overview;
    CloudSyncWorkflow m_cloudSync;
    AuthWorkflows m_auth;
    AccountTexts m_texts;
};

} // namespace orvalink
