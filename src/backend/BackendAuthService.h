#pragma once

#include "backend/AuthSessionStore.h"
#include "backend/BackendAPIClient.h"
#include "backend/BackendAuthRecords.h"
#include "backend/BackendSession.h"
#include "backend/DeviceIdentityStore.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace orvalink {

class RefreshFlight;

// The account service's authentication: sign-in settings, captchas, login, registration, session
// refresh, logout and password change. It holds no session in memory: operations that need one
// take the caller's (or, without one, the saved session) and every new session is saved before it
// is returned. The refresh token travels only in request bodies.
//
// Main thread only; the service must outlive the operations it runs (the application keeps it for
// the life of the process). Every operation throws ClientError for failed requests.
class BackendAuthService {
public:
    using Clock = std::function<QDateTime()>;

    // A session whose access token expires within this many seconds is refreshed before use.
    static constexpr qint64 kRefreshMarginSeconds = 60;

    BackendAuthService(BackendAPIClient client, AuthSessionStore sessionStore,
                       DeviceIdentityStore deviceIdentityStore);
    ~BackendAuthService();
    BackendAuthService(const BackendAuthService&) = delete;
    BackendAuthService& operator=(const BackendAuthService&) = delete;

    const BackendAPIClient& client() const { return m_client; }
    const AuthSessionStore& sessionStore() const { return m_sessionStore; }
    const DeviceIdentityStore& deviceIdentityStore() const { return m_deviceIdentityStore; }

    // The time source of expiry checks and new sessions (the current UTC time by default).
    void setClock(Clock clock);

    QCoro::Task<BackendAuthSettings> fetchAuthSettings(QString baseURL, QString siteKey);
    QCoro::Task<BackendCaptchaChallenge> fetchCaptchaChallenge(QString baseURL, QString siteKey);

    // Sends the e-mail trimmed and lower-cased, the password unchanged, this device's fingerprint,
    // name and application version, and the captcha fields when they are not blank. Returns the new
    // session after saving it. Throws platform::PlatformError when the device fingerprint or the
    // session cannot be written (the former before anything is sent).
    QCoro::Task<BackendSession> login(QString baseURL, QString email, QString password,
                                      std::optional<QString> captchaId, std::optional<QString> captchaCode);

    // Creates the account; does not sign in and saves nothing.
    QCoro::Task<> registerAccount(QString baseURL, QString email, QString password, QString nickName,
                                  std::optional<QString> captchaId, std::optional<QString> captchaCode);

    // Renews the session (the given one, else the saved one) and saves the result, which keeps the
    // e-mail and sign-in time. Throws ClientError::unauthorized without a request when there is no
    // session. Callers that ask while a refresh of the same session is under way share its result.
    QCoro::Task<BackendSession> refresh(QString baseURL, std::optional<BackendSession> currentSession);

    // The session unchanged when its access token is valid for more than kRefreshMarginSeconds,
    // else the refreshed one. Throws ClientError::unauthorized when there is no session.
    QCoro::Task<BackendSession> ensureValidSession(QString baseURL,
                                                   std::optional<BackendSession> currentSession);

    // Revokes the session's refresh token on the service; without a session it sends nothing. The
    // saved session is left to the caller.
    QCoro::Task<> logout(QString baseURL, std::optional<BackendSession> currentSession);

    QCoro::Task<> changePassword(QString baseURL, QString accessToken, QString currentPassword,
                                 QString newPassword);

private:
    std::optional<BackendSession> obtainSession(std::optional<BackendSession> given) const;
    QCoro::Task<BackendSession> performRefresh(QString baseURL, BackendSession session);

    BackendAPIClient m_client;
    AuthSessionStore m_sessionStore;
    DeviceIdentityStore m_deviceIdentityStore;
    Clock m_clock;
    std::shared_ptr<RefreshFlight> m_refreshFlight;
};

} // namespace orvalink
