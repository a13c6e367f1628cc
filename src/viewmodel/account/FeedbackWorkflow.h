#pragma once

#include "backend/BackendFeedbackRecords.h"
#include "viewmodel/flow/FlowTicket.h"

#include <QCoro/QCoroTask>
#include <QString>

namespace orvalink {

class AccountSession;
class ViewModelContext;

// The account's feedback: the dashboard (daily quota and items) and sending an item. Each flow has
// its own busy flag and ignores a start while it is set; a result for a session that ended
// meanwhile is dropped. Never throws.
class FeedbackWorkflow {
public:
    FeedbackWorkflow(ViewModelContext& context, AccountSession& session);

    // Without a session only clears the dashboard.
    QCoro::Task<> refreshFeedbackDashboard(bool userInitiated);
    // Sends the trimmed subject and content (both required, checked before the session) and says
    // how many more items may be sent today. The service keeps the daily limit.
    QCoro::Task<> submitFeedback(FeedbackCategory category, QString subject, QString content);

private:
    // Validates the session, then sends the item and publishes the dashboard. Throws the failure to report.
    QCoro::Task<> sendFeedback(FlowTicket ticket, FeedbackCategory category, QString trimmedSubject,
                               QString trimmedContent);
    // Validates the session, then loads and publishes the dashboard. Throws the failure to report.
    QCoro::Task<> loadDashboard(FlowTicket ticket, bool userInitiated);
    ViewModelContext& m_context;
    AccountSession& m_session;
};

} // namespace orvalink
