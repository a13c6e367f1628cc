#pragma once

#include "backend/BackendAPIClient.h"
#include "backend/BackendFeedbackRecords.h"
#include "backend/DeviceIdentityStore.h"

#include <QCoro/QCoroTask>

namespace orvalink {

// Sends feedback and reads the account's feedback dashboard. The service keeps the daily limit;
// this only shows it. Both operations need the access token of a session the caller has just
// validated. Main thread only; the service must outlive its operations. Throws ClientError.
class BackendFeedbackService {
public:
    BackendFeedbackService(BackendAPIClient client, DeviceIdentityStore deviceIdentityStore);

    const BackendAPIClient& client() const { return m_client; }
    const DeviceIdentityStore& deviceIdentityStore() const { return m_deviceIdentityStore; }

    QCoro::Task<BackendFeedbackDashboard> fetchDashboard(QString baseURL, QString accessToken);

    // Sends subject and content unchanged with this installation's version, device name and (when
    // it can be had; feedback is never refused for want of it) device fingerprint. Returns the
    // dashboard after the item was accepted.
    QCoro::Task<BackendFeedbackDashboard> createFeedback(QString baseURL, QString accessToken,
                                                         FeedbackCategory category, QString subject,
                                                         QString content);

private:
    BackendAPIClient m_client;
    DeviceIdentityStore m_deviceIdentityStore;
};

} // namespace orvalink
