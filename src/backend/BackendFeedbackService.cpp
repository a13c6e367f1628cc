#include "backend/BackendFeedbackService.h"

#include "backend/ClientIdentity.h"
#include "platform/PlatformError.h"

namespace orvalink {

namespace {

const QString kFeedbackPath = QStringLiteral("/api/v1/me/feedback");

} // namespace

BackendFeedbackService::BackendFeedbackService(BackendAPIClient client,
                                               DeviceIdentityStore deviceIdentityStore)
    : m_client(std::move(client)), m_deviceIdentityStore(std::move(deviceIdentityStore))
{}

QCoro::Task<BackendFeedbackDashboard> BackendFeedbackService::fetchDashboard(QString baseURL,
                                                                             QString accessToken)
{
    co_return co_await m_client.send<BackendFeedbackDashboard>(std::move(baseURL), kFeedbackPath, kHttpGet,
                                                               std::nullopt, std::move(accessToken));
}

QCoro::Task<BackendFeedbackDashboard> BackendFeedbackService::createFeedback(QString baseURL,
                                                                             QString accessToken,
                                                                             FeedbackCategory category,
                                                                             QString subject, QString content)
{
    QJsonObject body{
        {QStringLiteral("category"), toText(category)},
        {QStringLiteral("subject"), subject},
        {QStringLiteral("content"), content},
        {QStringLiteral("source"), QStringLiteral("mac_app")},
        {QStringLiteral("appVersion"), clientidentity::appVersion()},
        {QStringLiteral("deviceName"), clientidentity::deviceName()},
    };
    try {
        body.insert(QStringLiteral("deviceFingerprint"), m_deviceIdentityStore.currentFingerprint());
    } catch (const platform::PlatformError&) {
        // The fingerprint only helps the service sort items; the feedback matters more.
    }
    co_return co_await m_client.send<BackendFeedbackDashboard>(std::move(baseURL), kFeedbackPath, kHttpPost,
                                                               std::move(body), std::move(accessToken));
}

} // namespace orvalink
