#include "backend/BackendAuthService.h"

#include "backend/ClientIdentity.h"
#include "backend/PayloadFields.h"
#include "backend/RefreshFlight.h"
#include "model/JsonFields.h"

#include <QCoro/QCoroSignal>
#include <algorithm>

namespace orvalink {

namespace {

// Longer than any access token sensibly lives, and short enough that the expiry stays a date
// that can be written to the session file.
constexpr qint64 kLongestTokenLifetimeSeconds = qint64(10) * 366 * 24 * 3600;

struct TokenPayload {
    QString accessToken;
    QString refreshToken;
    qint64 expireIn = 0;

    static TokenPayload fromServiceJson(const QJsonValue& data, const ServiceDateReader&)
    {
        const QJsonObject object = payload::asObject(data);
        TokenPayload tokens{json::requireString(object, "accessToken"),
                            json::requireString(object, "refreshToken"),
                            json::requireInt64(object, "expireIn")};
        if (tokens.expireIn > kLongestTokenLifetimeSeconds)
            throw json::DecodeError("token lifetime out of range");
        // A token that has already lapsed is due at once: the next use refreshes it.
        tokens.expireIn = std::max<qint64>(tokens.expireIn, 0);
        return tokens;
    }
};

QString normalizedEmail(const QString& email)
{
    return email.trimmed().toLower();
}

std::optional<QString> normalizedOptional(const std::optional<QString>& value)
{
    if (!value)
        return std::nullopt;
    const QString trimmed = value->trimmed();
    return trimmed.isEmpty() ? std::nullopt : std::optional<QString>(trimmed);
}

void insertIfPresent(QJsonObject& object, const QString& key, const std::optional<QString>& value)
{
    if (value)
        object.insert(key, *value);
}

void insertCaptcha(QJsonObject& body, const std::optional<QString>& captchaId,
                   const std::optional<QString>& captchaCode)
{
    insertIfPresent(body, QStringLiteral("captchaId"), normalizedOptional(captchaId));
    insertIfPresent(body, QStringLiteral("captchaCode"), normalizedOptional(captchaCode));
}

QString sitePath(const char* endpoint, const QString& siteKey)
{
    return QLatin1String(endpoint) + QStringLiteral("?site=") + BackendAPIClient::encodedQueryValue(siteKey);
}

const QString kLoginPath = QStringLiteral("/api/v1/auth/login");
const QString kRegisterPath = QStringLiteral("/api/v1/auth/register");
const QString kRefreshPath = QStringLiteral("/api/v1/auth/refresh");
const QString kLogoutPath = QStringLiteral("/api/v1/auth/logout");
const QString kPasswordPath = QStringLiteral("/api/v1/me/password");

} // namespace

BackendAuthService::BackendAuthService(BackendAPIClient client, AuthSessionStore sessionStore,
                                       DeviceIdentityStore deviceIdentityStore)
    : m_client(std::move(client)), m_sessionStore(std::move(sessionStore)),
      m_deviceIdentityStore(std::move(deviceIdentityStore)),
      m_clock([] { return QDateTime::currentDateTimeUtc(); })
{}

BackendAuthService::~BackendAuthService() = default;

void BackendAuthService::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

QCoro::Task<BackendAuthSettings> BackendAuthService::fetchAuthSettings(QString baseURL, QString siteKey)
{
    QString path = sitePath("/api/v1/auth/settings", siteKey);
    co_return co_await m_client.send<BackendAuthSettings>(std::move(baseURL), std::move(path), kHttpGet,
                                                          std::nullopt, std::nullopt);
}

QCoro::Task<BackendCaptchaChallenge> BackendAuthService::fetchCaptchaChallenge(QString baseURL,
                                                                               QString siteKey)
{
    QString path = sitePath("/api/v1/auth/captcha", siteKey);
    co_return co_await m_client.send<BackendCaptchaChallenge>(std::move(baseURL), std::move(path), kHttpGet,
                                                              std::nullopt, std::nullopt);
}

QCoro::Task<BackendSession> BackendAuthService::login(QString baseURL, QString email, QString password,
                                                      std::optional<QString> captchaId,
                                                      std::optional<QString> captchaCode)
{
    const QString normalized = normalizedEmail(email);
    QJsonObject body{
        {QStringLiteral("email"), normalized},
        {QStringLiteral("password"), password},
        {QStringLiteral("deviceFingerprint"), m_deviceIdentityStore.currentFingerprint()},
        {QStringLiteral("deviceName"), clientidentity::deviceName()},
        {QStringLiteral("appVersion"), clientidentity::appVersion()},
    };
    insertCaptcha(body, captchaId, captchaCode);
    const TokenPayload tokens = co_await m_client.send<TokenPayload>(
        std::move(baseURL), kLoginPath, kHttpPost, std::move(body), std::nullopt);
    const QDateTime now = m_clock();
    const BackendSession session{normalized, tokens.accessToken, tokens.refreshToken,
                                 now.addSecs(tokens.expireIn), now};
    m_sessionStore.save(session);
    co_return session;
}

QCoro::Task<> BackendAuthService::registerAccount(QString baseURL, QString email, QString password,
                                                  QString nickName, std::optional<QString> captchaId,
                                                  std::optional<QString> captchaCode)
{
    QJsonObject body{
        {QStringLiteral("email"), normalizedEmail(email)},
        {QStringLiteral("password"), password},
        {QStringLiteral("nickName"), nickName.trimmed()},
    };
    insertCaptcha(body, captchaId, captchaCode);
    co_await m_client.send<EmptyPayload>(std::move(baseURL), kRegisterPath, kHttpPost, std::move(body),
                                         std::nullopt);
}

std::optional<BackendSession> BackendAuthService::obtainSession(std::optional<BackendSession> given) const
{
    return given ? given : m_sessionStore.load();
}

QCoro::Task<BackendSession> BackendAuthService::refresh(QString baseURL,
                                                        std::optional<BackendSession> currentSession)
{
    const std::optional<BackendSession> session = obtainSession(std::move(currentSession));
    if (!session)
        throw ClientError::unauthorized();

    if (const std::shared_ptr<RefreshFlight> running = m_refreshFlight;
        running && running->refreshToken() == session->refreshToken) {
        if (!running->isFinished())
            co_await qCoro(running.get(), &RefreshFlight::finished);
        co_return running->result();
    }

    const auto flight = std::make_shared<RefreshFlight>(session->refreshToken);
    m_refreshFlight = flight;
    try {
        BackendSession renewed = co_await performRefresh(std::move(baseURL), *session);
        flight->succeed(std::move(renewed));
    } catch (...) {
        flight->fail(std::current_exception());
    }
    // A later flight may have replaced this one meanwhile; only the own entry is removed.
    if (m_refreshFlight == flight)
        m_refreshFlight.reset();
    co_return flight->result();
}

QCoro::Task<BackendSession> BackendAuthService::performRefresh(QString baseURL, BackendSession session)
{
    QJsonObject body{{QStringLiteral("refreshToken"), session.refreshToken}};
    const TokenPayload tokens = co_await m_client.send<TokenPayload>(
        std::move(baseURL), kRefreshPath, kHttpPost, std::move(body), std::nullopt);
    session.accessToken = tokens.accessToken;
    session.refreshToken = tokens.refreshToken;
    session.accessTokenExpiresAt = m_clock().addSecs(tokens.expireIn);
    m_sessionStore.save(session);
    co_return session;
}

QCoro::Task<BackendSession>
BackendAuthService::ensureValidSession(QString baseURL, std::optional<BackendSession> currentSession)
{
    const std::optional<BackendSession> session = obtainSession(std::move(currentSession));
    if (!session)
        throw ClientError::unauthorized();
    if (session->accessTokenExpiresAt > m_clock().addSecs(kRefreshMarginSeconds))
        co_return *session;
    co_return co_await refresh(std::move(baseURL), *session);
}

QCoro::Task<> BackendAuthService::logout(QString baseURL, std::optional<BackendSession> currentSession)
{
    const std::optional<BackendSession> session = obtainSession(std::move(currentSession));
    if (!session)
        co_return;
    QJsonObject body{{QStringLiteral("refreshToken"), session->refreshToken}};
    co_await m_client.send<EmptyPayload>(std::move(baseURL), kLogoutPath, kHttpPost, std::move(body),
                                         std::nullopt);
}

QCoro::Task<> BackendAuthService::changePassword(QString baseURL, QString accessToken,
                                                 QString currentPassword, QString newPassword)
{
    QJsonObject body{{QStringLiteral("currentPassword"), currentPassword},
                     {QStringLiteral("newPassword"), newPassword}};
    co_await m_client.send<EmptyPayload>(std::move(baseURL), kPasswordPath, kHttpPost, std::move(body),
                                         std::move(accessToken));
}

} // namespace orvalink
