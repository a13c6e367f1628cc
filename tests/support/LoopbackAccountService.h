#pragma once

#include "support/LoopbackFeedbackBook.h"
#include "support/LoopbackHttpServer.h"
#include "support/LoopbackMigrationBook.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <functional>
#include <optional>

namespace orvalink::test {

// A working account service on 127.0.0.1 for tests and manual runs: accounts with passwords, an
// optional captcha, access tokens with an expiry and refresh tokens that rotate on every refresh,
// one migration snapshot per account and device with the overview across devices, and feedback
// with a daily limit. Every request is recorded (http().requests()); http() can also be told to
// answer a path with a given reply or after a delay.
//
// Failures use the envelope with these codes: "AUTH_TOKEN_INVALID" / "AUTH_TOKEN_EXPIRED" (401)
// for calls under /api/v1/me/, "AUTH_REFRESH_TOKEN_INVALID" (401) for a refresh or logout with an
// unknown, used or revoked refresh token, "INVALID_CREDENTIALS", "CAPTCHA_REQUIRED",
// "CAPTCHA_INVALID", "INVALID_PASSWORD", "INVALID_REQUEST" (400), "USER_EXISTS" (409),
// "FEEDBACK_DAILY_LIMIT" (429), "NOT_FOUND" (404) and "METHOD_NOT_ALLOWED" (405).
class LoopbackAccountService {
public:
    LoopbackAccountService();
    LoopbackAccountService(const LoopbackAccountService&) = delete;
    LoopbackAccountService& operator=(const LoopbackAccountService&) = delete;

    // Listens on 127.0.0.1 (port 0: a free one; 8080 is refused).
    bool start(quint16 port = 0);
    QString baseURL() const { return m_http.baseURL(); }
    LoopbackHttpServer& http() { return m_http; }
    const LoopbackHttpServer& http() const { return m_http; }

    void addUser(const QString& email, const QString& password, const QString& nickName = QString());
    std::optional<QString> passwordOf(const QString& email) const;

    void setCaptchaEnabled(bool enabled) { m_captchaEnabled = enabled; }
    // The answer to a challenge this service handed out; empty when unknown.
    QString captchaCode(const QString& captchaId) const;

    // The "expireIn" of new access tokens (default one hour); 0 makes them expire at once.
    void setAccessTokenLifetime(qint64 seconds) { m_accessTokenLifetime = seconds; }
    bool isRefreshTokenActive(const QString& refreshToken) const;

    // The fingerprint the account's last login sent; empty when none.
    QString lastLoginFingerprint(const QString& email) const;

    LoopbackFeedbackBook& feedback() { return m_feedback; }
    LoopbackMigrationBook& migrations() { return m_migrations; }

private:
    struct Account {
        QString password;
        QString nickName;
        QString lastFingerprint;
    };
    struct AccessGrant {
        QString email;
        QDateTime expiresAt;
        QString family;
    };
    struct RefreshGrant {
        QString email;
        QString family;
    };
    struct Challenge {
        QString code;
        QDateTime expiresAt;
    };

    LoopbackReply handle(const LoopbackRequest& request);
    LoopbackReply handleAuth(const LoopbackRequest& request);
    LoopbackReply handleMe(const LoopbackRequest& request, const QString& email);

    LoopbackReply settings(const LoopbackRequest& request) const;
    LoopbackReply captcha(const LoopbackRequest& request);
    LoopbackReply registerAccount(const QJsonObject& body);
    LoopbackReply login(const QJsonObject& body);
    LoopbackReply refresh(const QJsonObject& body);
    LoopbackReply logout(const QJsonObject& body);
    LoopbackReply changePassword(const QJsonObject& body, const QString& email);

    // None when the captcha is off or answered correctly (the challenge is then used up); else the
    // refusal.
    std::optional<LoopbackReply> checkCaptcha(const QJsonObject& body);
    // The account an access token belongs to, or the refusal.
    std::optional<QString> authenticate(const LoopbackRequest& request, LoopbackReply& refusal) const;
    QJsonObject issueTokens(const QString& email, const QString& family);
    void revokeFamilies(const std::function<bool(const QString& email, const QString& family)>& matches);

    LoopbackHttpServer m_http;
    QHash<QString, Account> m_accounts;
    QHash<QString, AccessGrant> m_accessTokens;
    QHash<QString, RefreshGrant> m_refreshTokens;
    QHash<QString, Challenge> m_challenges;
    bool m_captchaEnabled = false;
    qint64 m_accessTokenLifetime = 3600;
    LoopbackMigrationBook m_migrations;
    LoopbackFeedbackBook m_feedback;
};

} // namespace orvalink::test
