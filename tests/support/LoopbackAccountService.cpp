#include "support/LoopbackAccountService.h"

#include <QRandomGenerator>
#include <QUuid>

namespace orvalink::test {

namespace {

const QString kAuthPrefix = QStringLiteral("/api/v1/auth/");
const QString kMePrefix = QStringLiteral("/api/v1/me/");

LoopbackReply failure(int status, const char* code, const char* message)
{
    return LoopbackReply::envelope(status, QLatin1String(code), QLatin1String(message));
}

LoopbackReply invalidRequest(const char* message)
{
    return failure(400, "INVALID_REQUEST", message);
}

QString randomToken(const char* prefix)
{
    return QLatin1String(prefix) + QUuid::createUuid().toString(QUuid::Id128);
}

QString stringField(const QJsonObject& body, const char* key)
{
    return body.value(QLatin1String(key)).toString();
}

// The captcha image: the code drawn as SVG text, so a person can answer it in a manual run.
QString captchaImage(const QString& code)
{
    const QString svg =
        QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='120' height='40'>"
                       "<text x='10' y='28' font-size='24' font-family='monospace'>%1</text></svg>")
            .arg(code);
    return QStringLiteral("data:image/svg+xml;base64,") + QString::fromLatin1(svg.toUtf8().toBase64());
}

} // namespace

LoopbackAccountService::LoopbackAccountService()
    : m_http([this](const LoopbackRequest& request) { return handle(request); })
{}

bool LoopbackAccountService::start(quint16 port)
{
    return m_http.listen(port);
}

void LoopbackAccountService::addUser(const QString& email, const QString& password, const QString& nickName)
{
    m_accounts.insert(email, Account{password, nickName, QString()});
}

std::optional<QString> LoopbackAccountService::passwordOf(const QString& email) const
{
    const auto it = m_accounts.find(email);
    return it == m_accounts.end() ? std::nullopt : std::optional<QString>(it->password);
}

QString LoopbackAccountService::captchaCode(const QString& captchaId) const
{
    return m_challenges.value(captchaId).code;
}

bool LoopbackAccountService::isRefreshTokenActive(const QString& refreshToken) const
{
    return m_refreshTokens.contains(refreshToken);
}

QString LoopbackAccountService::lastLoginFingerprint(const QString& email) const
{
    return m_accounts.value(email).lastFingerprint;
}

LoopbackReply LoopbackAccountService::handle(const LoopbackRequest& request)
{
    if (request.path.startsWith(kAuthPrefix))
        return handleAuth(request);
    if (request.path.startsWith(kMePrefix)) {
        LoopbackReply refusal;
        const std::optional<QString> email = authenticate(request, refusal);
        return email ? handleMe(request, *email) : refusal;
    }
    return failure(404, "NOT_FOUND", "Not found.");
}

LoopbackReply LoopbackAccountService::handleAuth(const LoopbackRequest& request)
{
    const QString endpoint = request.path.mid(kAuthPrefix.size());
    const bool get = request.method == "GET";
    if (get && endpoint == QLatin1String("settings"))
        return settings(request);
    if (get && endpoint == QLatin1String("captcha"))
        return captcha(request);
    if (request.method != "POST")
        return failure(405, "METHOD_NOT_ALLOWED", "Method not allowed.");
    const QJsonObject body = request.jsonBody();
    if (endpoint == QLatin1String("register"))
        return registerAccount(body);
    if (endpoint == QLatin1String("login"))
        return login(body);
    if (endpoint == QLatin1String("refresh"))
        return refresh(body);
    if (endpoint == QLatin1String("logout"))
        return logout(body);
    return failure(404, "NOT_FOUND", "Not found.");
}

LoopbackReply LoopbackAccountService::handleMe(const LoopbackRequest& request, const QString& email)
{
    const QString endpoint = request.path.mid(kMePrefix.size());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";
    if (post && endpoint == QLatin1String("password"))
        return changePassword(request.jsonBody(), email);
    if (get && endpoint == QLatin1String("migrations/snapshot")) {
        const QString fingerprint = request.queryValue(QStringLiteral("deviceFingerprint"));
        if (fingerprint.isEmpty())
            return invalidRequest("deviceFingerprint is required.");
        return LoopbackReply::ok(m_migrations.snapshot(email, fingerprint));
    }
    if (post && endpoint == QLatin1String("migrations/sync")) {
        const auto stored = m_migrations.store(email, request.jsonBody(), now);
        return stored ? LoopbackReply::ok(*stored) : invalidRequest("The snapshot upload is incomplete.");
    }
    if (get && endpoint == QLatin1String("migrations/overview"))
        return LoopbackReply::ok(
            m_migrations.overview(email, request.queryValue(QStringLiteral("currentDeviceFingerprint"))));
    if (endpoint == QLatin1String("feedback") && (get || post)) {
        if (post) {
            switch (m_feedback.add(email, request.jsonBody(), now)) {
            case LoopbackFeedbackBook::Outcome::invalid:
                return invalidRequest("Category, subject and content are required.");
            case LoopbackFeedbackBook::Outcome::limitReached:
                return failure(429, "FEEDBACK_DAILY_LIMIT", "Daily feedback limit reached.");
            case LoopbackFeedbackBook::Outcome::accepted:
                break;
            }
        }
        return LoopbackReply::ok(m_feedback.dashboard(email, now));
    }
    return failure(404, "NOT_FOUND", "Not found.");
}

LoopbackReply LoopbackAccountService::settings(const LoopbackRequest& request) const
{
    return LoopbackReply::ok(
        QJsonObject{{QStringLiteral("siteKey"), request.queryValue(QStringLiteral("site"))},
                    {QStringLiteral("captchaEnabled"), m_captchaEnabled}});
}

LoopbackReply LoopbackAccountService::captcha(const LoopbackRequest& request)
{
    QJsonObject challenge{{QStringLiteral("siteKey"), request.queryValue(QStringLiteral("site"))},
                          {QStringLiteral("enabled"), m_captchaEnabled}};
    if (m_captchaEnabled) {
        const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QString code = QString::number(QRandomGenerator::global()->bounded(1000, 10000));
        const QDateTime expiresAt = QDateTime::currentDateTimeUtc().addSecs(300);
        m_challenges.insert(id, Challenge{code, expiresAt});
        challenge.insert(QStringLiteral("captchaId"), id);
        challenge.insert(QStringLiteral("imageDataUrl"), captchaImage(code));
        challenge.insert(QStringLiteral("expiresAt"), expiresAt.toString(Qt::ISODate));
    }
    return LoopbackReply::ok(challenge);
}

std::optional<LoopbackReply> LoopbackAccountService::checkCaptcha(const QJsonObject& body)
{
    if (!m_captchaEnabled)
        return std::nullopt;
    const QString id = stringField(body, "captchaId");
    const QString code = stringField(body, "captchaCode");
    if (id.isEmpty() || code.isEmpty())
        return failure(400, "CAPTCHA_REQUIRED", "Captcha is required.");
    const Challenge challenge = m_challenges.take(id);
    if (challenge.code.isEmpty() || challenge.code != code ||
        challenge.expiresAt < QDateTime::currentDateTimeUtc())
        return failure(400, "CAPTCHA_INVALID", "Captcha is invalid or expired.");
    return std::nullopt;
}

LoopbackReply LoopbackAccountService::registerAccount(const QJsonObject& body)
{
    const QString email = stringField(body, "email");
    const QString password = stringField(body, "password");
    if (!email.contains(QLatin1Char('@')) || password.size() < 6)
        return invalidRequest("A valid e-mail and a password of at least six characters are required.");
    if (const auto refusal = checkCaptcha(body))
        return *refusal;
    if (m_accounts.contains(email))
        return failure(409, "USER_EXISTS", "This e-mail is already registered.");
    addUser(email, password, stringField(body, "nickName"));
    return LoopbackReply::ok();
}

LoopbackReply LoopbackAccountService::login(const QJsonObject& body)
{
    if (const auto refusal = checkCaptcha(body))
        return *refusal;
    const QString email = stringField(body, "email");
    const auto account = m_accounts.find(email);
    if (account == m_accounts.end() || account->password != stringField(body, "password"))
        return failure(400, "INVALID_CREDENTIALS", "Invalid e-mail or password.");
    const QString fingerprint = stringField(body, "deviceFingerprint");
    account->lastFingerprint = fingerprint;
    if (!fingerprint.isEmpty())
        m_migrations.noteDevice(email, fingerprint);
    return LoopbackReply::ok(issueTokens(email, QUuid::createUuid().toString()));
}

LoopbackReply LoopbackAccountService::refresh(const QJsonObject& body)
{
    // Rotation: a refresh token buys exactly one new pair.
    const auto grant = m_refreshTokens.find(stringField(body, "refreshToken"));
    if (grant == m_refreshTokens.end())
        return failure(401, "AUTH_REFRESH_TOKEN_INVALID", "Refresh token is invalid.");
    const RefreshGrant used = *grant;
    m_refreshTokens.erase(grant);
    return LoopbackReply::ok(issueTokens(used.email, used.family));
}

LoopbackReply LoopbackAccountService::logout(const QJsonObject& body)
{
    const auto grant = m_refreshTokens.constFind(stringField(body, "refreshToken"));
    if (grant == m_refreshTokens.cend())
        return failure(401, "AUTH_REFRESH_TOKEN_INVALID", "Refresh token is invalid.");
    const QString family = grant->family;
    revokeFamilies([&](const QString&, const QString& candidate) { return candidate == family; });
    return LoopbackReply::ok();
}

LoopbackReply LoopbackAccountService::changePassword(const QJsonObject& body, const QString& email)
{
    Account& account = m_accounts[email];
    if (account.password != stringField(body, "currentPassword"))
        return failure(400, "INVALID_PASSWORD", "Current password is incorrect.");
    const QString newPassword = stringField(body, "newPassword");
    if (newPassword.size() < 6)
        return invalidRequest("The new password needs at least six characters.");
    account.password = newPassword;
    revokeFamilies([&](const QString& owner, const QString&) { return owner == email; });
    return LoopbackReply::ok();
}

std::optional<QString> LoopbackAccountService::authenticate(const LoopbackRequest& request,
                                                            LoopbackReply& refusal) const
{
    const QByteArray header = request.header("Authorization");
    const auto grant = header.startsWith("Bearer ")
                           ? m_accessTokens.constFind(QString::fromUtf8(header.mid(7)))
                           : m_accessTokens.cend();
    if (grant == m_accessTokens.cend()) {
        refusal = failure(401, "AUTH_TOKEN_INVALID", "Access token is invalid.");
        return std::nullopt;
    }
    if (grant->expiresAt <= QDateTime::currentDateTimeUtc()) {
        refusal = failure(401, "AUTH_TOKEN_EXPIRED", "Access token has expired.");
        return std::nullopt;
    }
    return grant->email;
}

QJsonObject LoopbackAccountService::issueTokens(const QString& email, const QString& family)
{
    const QString accessToken = randomToken("at-");
    const QString refreshToken = randomToken("rt-");
    m_accessTokens.insert(
        accessToken,
        AccessGrant{email, QDateTime::currentDateTimeUtc().addSecs(m_accessTokenLifetime), family});
    m_refreshTokens.insert(refreshToken, RefreshGrant{email, family});
    return QJsonObject{{QStringLiteral("accessToken"), accessToken},
                       {QStringLiteral("refreshToken"), refreshToken},
                       {QStringLiteral("expireIn"), m_accessTokenLifetime}};
}

void LoopbackAccountService::revokeFamilies(
    const std::function<bool(const QString& email, const QString& family)>& matches)
{
    m_accessTokens.removeIf(
        [&](const auto& entry) { return matches(entry.value().email, entry.value().family); });
    m_refreshTokens.removeIf(
        [&](const auto& entry) { return matches(entry.value().email, entry.value().family); });
}

} // namespace orvalink::test
