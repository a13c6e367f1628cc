#include "BackendTestSupport.h"
#include "backend/BackendAuthService.h"
#include "backend/ClientIdentity.h"
#include "model/AppPaths.h"
#include "platform/PlatformError.h"
#include "support/LoopbackAccountService.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QtTest>

using namespace orvalink;
using namespace orvalink::test;
using namespace std::chrono_literals;

namespace {

const QString kEmail = QStringLiteral("anna@example.com");
const QString kPassword = QStringLiteral(" pass word ");
const QString kRefreshPath = QStringLiteral("/api/v1/auth/refresh");

struct AuthFixture {
    TestHome home;
    LoopbackAccountService service;
    std::unique_ptr<QNetworkAccessManager> network = loopbackNetwork();
    BackendAuthService auth{
        BackendAPIClient(network.get()),
        AuthSessionStore(AppPaths::applicationSupportFile(QStringLiteral("auth_session.json"))),
        DeviceIdentityStore(AppPaths::applicationSupportFile(QStringLiteral("device_id.txt")))};
    QDateTime now = QDateTime(QDate(2025, 3, 1), QTime(8, 30), QTimeZone::utc());

    AuthFixture()
    {
        auth.setClock([this] { return now; });
        service.addUser(kEmail, kPassword);
    }

    QString base() const { return service.baseURL(); }
    qsizetype requestsTo(const QString& path) const { return service.http().requestsTo(path).size(); }

    BackendSession signIn()
    {
        return runTask(auth.login(base(), kEmail, kPassword, std::nullopt, std::nullopt));
    }
};

} // namespace

class BackendAuthTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AuthFixture> m_fixture;
    AuthFixture& f() { return *m_fixture; }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<AuthFixture>();
        QVERIFY(f().home.isValid());
        QVERIFY(f().service.start());
    }

    void cleanup()
    {
        QCOMPARE(wireRuleViolation(f().service.http().requests()), QString());
        m_fixture.reset();
    }

    void siteKeyIsOneQueryValue_data()
    {
        QTest::addColumn<QString>("siteKey");
        QTest::addColumn<QByteArray>("query");
        QTest::newRow("product site") << "orvalink" << QByteArray("site=orvalink");
        QTest::newRow("space") << "my site" << QByteArray("site=my%20site");
        QTest::newRow("delimiters") << "a&b=c+d" << QByteArray("site=a%26b%3Dc%2Bd");
    }

    void siteKeyIsOneQueryValue()
    {
        QFETCH(QString, siteKey);
        QFETCH(QByteArray, query);
        const BackendAuthSettings settings = runTask(f().auth.fetchAuthSettings(f().base(), siteKey));
        QCOMPARE(settings, (BackendAuthSettings{siteKey, false}));
        const BackendCaptchaChallenge challenge =
            runTask(f().auth.fetchCaptchaChallenge(f().base(), siteKey));
        QCOMPARE(challenge,
                 (BackendCaptchaChallenge{siteKey, false, std::nullopt, std::nullopt, std::nullopt}));
        for (const LoopbackRequest& request : f().service.http().requests()) {
            QVERIFY(request.target.endsWith('?' + query));
            QCOMPARE(request.queryValue(QStringLiteral("site")), siteKey);
        }
    }

    void authRepliesAreStrict_data()
    {
        QTest::addColumn<bool>("settings");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("valid");
        QTest::newRow("settings without captchaEnabled") << true << QByteArray(R"({"siteKey":"s"})") << false;
        QTest::newRow("settings with a text flag")
            << true << QByteArray(R"({"siteKey":"s","captchaEnabled":"true"})") << false;
        QTest::newRow("captcha with only the required keys")
            << false << QByteArray(R"({"siteKey":"s","enabled":true})") << true;
        QTest::newRow("captcha with imageDataURL spelled upper case")
            << false
            << QByteArray(R"({"siteKey":"s","enabled":true,"imageDataURL":"data:x","captchaId":null})")
            << true;
        QTest::newRow("captcha without enabled") << false << QByteArray(R"({"siteKey":"s"})") << false;
    }

    void authRepliesAreStrict()
    {
        QFETCH(bool, settings);
        QFETCH(QByteArray, data);
        QFETCH(bool, valid);
        const QString path =
            settings ? QStringLiteral("/api/v1/auth/settings") : QStringLiteral("/api/v1/auth/captcha");
        f().service.http().answerNext(
            path, LoopbackReply::raw(200, R"({"code":"OK","msg":"","data":)" + data + "}"));
        std::optional<ClientError> error;
        if (settings) {
            error = clientErrorOf(f().auth.fetchAuthSettings(f().base(), QStringLiteral("s")));
        } else {
            try {
                const BackendCaptchaChallenge challenge =
                    runTask(f().auth.fetchCaptchaChallenge(f().base(), QStringLiteral("s")));
                QCOMPARE(challenge,
                         (BackendCaptchaChallenge{"s", true, std::nullopt, std::nullopt, std::nullopt}));
            } catch (const ClientError& caught) {
                error = caught;
            }
        }
        QCOMPARE(!error, valid);
        if (error)
            QCOMPARE(error->kind(), ClientError::Kind::invalidResponse);
    }

    void loginSendsNormalizedFieldsAndSavesTheSession()
    {
        const BackendSession session =
            runTask(f().auth.login(f().base(), QStringLiteral(" Anna@Example.COM \n"), kPassword,
                                   std::nullopt, QStringLiteral("   ")));
        const LoopbackRequest request = f().service.http().requests().constLast();
        QCOMPARE(request.path, QStringLiteral("/api/v1/auth/login"));
        const QJsonObject body = request.jsonBody();
        QCOMPARE(body.value("email").toString(), kEmail);
        QCOMPARE(body.value("password").toString(), kPassword);
        QCOMPARE(body.value("deviceFingerprint").toString(),
                 f().auth.deviceIdentityStore().currentFingerprint());
        QCOMPARE(body.value("deviceName").toString(), clientidentity::deviceName());
        QVERIFY(!body.value("deviceName").toString().isEmpty());
        QCOMPARE(body.value("appVersion").toString(), QStringLiteral(ORVALINK_VERSION));
        QVERIFY(!body.contains("captchaId"));
        QVERIFY(!body.contains("captchaCode"));

        QCOMPARE(session.email, kEmail);
        QCOMPARE(session.signedInAt, f().now);
        QCOMPARE(session.accessTokenExpiresAt, f().now.addSecs(3600));
        QCOMPARE(f().auth.sessionStore().load(), std::optional<BackendSession>(session));
    }

    void loginWithCaptcha()
    {
        f().service.setCaptchaEnabled(true);
        BackendCaptchaChallenge challenge = runTask(f().auth.fetchCaptchaChallenge(f().base(), "orvalink"));
        QVERIFY(challenge.enabled && challenge.captchaId && challenge.expiresAt);
        QVERIFY(challenge.imageDataURL->startsWith(QLatin1String("data:image/")));
        QVERIFY(*challenge.expiresAt > QDateTime::currentDateTimeUtc());

        const auto wrong =
            clientErrorOf(f().auth.login(f().base(), kEmail, kPassword, challenge.captchaId, "x"));
        QVERIFY(wrong);
        QCOMPARE(wrong->code(), QStringLiteral("CAPTCHA_INVALID"));
        QCOMPARE(wrong->errorDescription(), QStringLiteral("Captcha is invalid or expired."));

        challenge = runTask(f().auth.fetchCaptchaChallenge(f().base(), "orvalink"));
        const QString code = f().service.captchaCode(*challenge.captchaId);
        runTask(f().auth.login(f().base(), kEmail, kPassword, " " + *challenge.captchaId + " ",
                               " " + code + "\n"));
        const QJsonObject body = f().service.http().requests().constLast().jsonBody();
        QCOMPARE(body.value("captchaId").toString(), *challenge.captchaId);
        QCOMPARE(body.value("captchaCode").toString(), code);
    }

    void refusedLoginSavesNothing()
    {
        const auto error =
            clientErrorOf(f().auth.login(f().base(), kEmail, "wrong", std::nullopt, std::nullopt));
        QVERIFY(error);
        QCOMPARE(error->kind(), ClientError::Kind::server);
        QCOMPARE(error->errorDescription(), QStringLiteral("Invalid e-mail or password."));
        QCOMPARE(f().auth.sessionStore().load(), std::nullopt);
    }

    void loginWithoutFingerprintSendsNothing()
    {
        TestTree tree(f().home.appSupport());
        tree.file(QStringLiteral("blocker"), "file");
        BackendAuthService auth(BackendAPIClient(f().network.get()), f().auth.sessionStore(),
                                DeviceIdentityStore(tree.path(QStringLiteral("blocker/device_id.txt"))));
        QVERIFY_THROWS_EXCEPTION(platform::PlatformError, runTask(auth.login(f().base(), kEmail, kPassword,
                                                                             std::nullopt, std::nullopt)));
        QVERIFY(f().service.http().requests().isEmpty());
    }

    void registerSendsTrimmedFieldsAndSignsNobodyIn()
    {
        runTask(f().auth.registerAccount(f().base(), " New@Example.com ", "secret 1", "  Nick Name \n", "",
                                         std::nullopt));
        const QJsonObject body = f().service.http().requests().constLast().jsonBody();
        QCOMPARE(
            body,
            (QJsonObject{{"email", "new@example.com"}, {"password", "secret 1"}, {"nickName", "Nick Name"}}));
        QCOMPARE(f().auth.sessionStore().load(), std::nullopt);
        QCOMPARE(f().service.passwordOf("new@example.com"), std::optional<QString>("secret 1"));

        runTask(f().auth.login(f().base(), "new@example.com", "secret 1", std::nullopt, std::nullopt));
        QCOMPARE(f().auth.sessionStore().load()->email, QStringLiteral("new@example.com"));

        const auto again = clientErrorOf(f().auth.registerAccount(f().base(), "new@example.com", "secret 2",
                                                                  "Nick", std::nullopt, std::nullopt));
        QVERIFY(again);
        QCOMPARE(again->code(), QStringLiteral("USER_EXISTS"));
    }

    void tokenLifetime_data()
    {
        QTest::addColumn<QByteArray>("expireIn");
        QTest::addColumn<bool>("valid");
        QTest::newRow("zero") << QByteArray("0") << true;
        QTest::newRow("a day") << QByteArray("86400") << true;
        QTest::newRow("text") << QByteArray("\"3600\"") << false;
        QTest::newRow("fraction") << QByteArray("3600.5") << false;
        QTest::newRow("negative") << QByteArray("-1") << false;
        QTest::newRow("absurdly large") << QByteArray("1e15") << false;
        QTest::newRow("null") << QByteArray("null") << false;
    }

    void tokenLifetime()
    {
        QFETCH(QByteArray, expireIn);
        QFETCH(bool, valid);
        f().service.http().answerNext(
            QStringLiteral("/api/v1/auth/login"),
            LoopbackReply::raw(
                200, R"({"code":"OK","msg":"","data":{"accessToken":"a","refreshToken":"r","expireIn":)" +
                         expireIn + "}}"));
        const auto error =
            clientErrorOf(f().auth.login(f().base(), kEmail, kPassword, std::nullopt, std::nullopt));
        QCOMPARE(!error, valid);
        if (!valid) {
            QCOMPARE(error->kind(), ClientError::Kind::invalidResponse);
            QCOMPARE(f().auth.sessionStore().load(), std::nullopt);
            return;
        }
        const BackendSession saved = *f().auth.sessionStore().load();
        QCOMPARE(saved.accessTokenExpiresAt, f().now.addSecs(expireIn.toLongLong()));
    }

    void refreshRotatesTheTokenAndKeepsTheSignInTime()
    {
        const BackendSession first = f().signIn();
        f().now = f().now.addSecs(600);
        const BackendSession renewed = runTask(f().auth.refresh(f().base(), std::nullopt));
        const LoopbackRequest request = f().service.http().requests().constLast();
        QCOMPARE(request.path, kRefreshPath);
        QCOMPARE(request.jsonBody(), (QJsonObject{{"refreshToken", first.refreshToken}}));

        QVERIFY(renewed.refreshToken != first.refreshToken);
        QVERIFY(renewed.accessToken != first.accessToken);
        QCOMPARE(renewed.signedInAt, first.signedInAt);
        QCOMPARE(renewed.accessTokenExpiresAt, f().now.addSecs(3600));
        QCOMPARE(f().auth.sessionStore().load(), std::optional<BackendSession>(renewed));
        QVERIFY(!f().service.isRefreshTokenActive(first.refreshToken));

        const auto reused = clientErrorOf(f().auth.refresh(f().base(), first));
        QVERIFY(reused);
        QCOMPARE(reused->kind(), ClientError::Kind::unauthorized);
        QCOMPARE(f().auth.sessionStore().load(), std::optional<BackendSession>(renewed));
    }

    void ensureValidSessionRefreshesNearExpiry_data()
    {
        QTest::addColumn<int>("secondsLeft");
        QTest::addColumn<bool>("refreshes");
        QTest::newRow("61 seconds left") << 61 << false;
        QTest::newRow("60 seconds left") << 60 << true;
        QTest::newRow("expired") << -10 << true;
    }

    void ensureValidSessionRefreshesNearExpiry()
    {
        QFETCH(int, secondsLeft);
        QFETCH(bool, refreshes);
        BackendSession session = f().signIn();
        session.accessTokenExpiresAt = f().now.addSecs(secondsLeft);
        const BackendSession result = runTask(f().auth.ensureValidSession(f().base(), session));
        QCOMPARE(f().requestsTo(kRefreshPath), refreshes ? 1 : 0);
        if (refreshes) {
            QVERIFY(result.refreshToken != session.refreshToken);
            QCOMPARE(f().auth.sessionStore().load(), std::optional<BackendSession>(result));
        } else {
            QCOMPARE(result, session);
        }
    }

    void shortLivedTokensAreRenewedBeforeUse()
    {
        f().service.setAccessTokenLifetime(0);
        const BackendSession session = f().signIn();
        const BackendSession renewed = runTask(f().auth.ensureValidSession(f().base(), std::nullopt));
        QCOMPARE(f().requestsTo(kRefreshPath), 1);
        QVERIFY(renewed.refreshToken != session.refreshToken);
    }

    void noSessionMeansUnauthorizedWithoutARequest()
    {
        for (const bool ensure : {true, false}) {
            const auto error = ensure ? clientErrorOf(f().auth.ensureValidSession(f().base(), std::nullopt))
                                      : clientErrorOf(f().auth.refresh(f().base(), std::nullopt));
            QVERIFY(error);
            QCOMPARE(error->kind(), ClientError::Kind::unauthorized);
        }
        runTask(f().auth.logout(f().base(), std::nullopt));
        QVERIFY(f().service.http().requests().isEmpty());
    }

    void concurrentCallersShareOneRefresh()
    {
        const BackendSession session = f().signIn();
        f().now = session.accessTokenExpiresAt.addSecs(-30);
        f().service.http().setDelay(kRefreshPath, 50ms);
        auto first = f().auth.ensureValidSession(f().base(), session);
        auto second = f().auth.ensureValidSession(f().base(), session);
        const BackendSession a = runTask(std::move(first));
        const BackendSession b = runTask(std::move(second));
        QCOMPARE(f().requestsTo(kRefreshPath), 1);
        QCOMPARE(a, b);
        QVERIFY(f().service.isRefreshTokenActive(a.refreshToken));

        // Once it is over, the renewed session is used as it is.
        QCOMPARE(runTask(f().auth.ensureValidSession(f().base(), a)), a);
        QCOMPARE(f().requestsTo(kRefreshPath), 1);
    }

    void concurrentCallersShareARefusedRefresh()
    {
        const BackendSession session = f().signIn();
        f().now = session.accessTokenExpiresAt;
        LoopbackReply refused =
            LoopbackReply::envelope(401, "AUTH_REFRESH_TOKEN_INVALID", "Refresh token is invalid.");
        refused.delay = 50ms;
        f().service.http().answerNext(kRefreshPath, refused);
        auto first = f().auth.ensureValidSession(f().base(), session);
        auto second = f().auth.refresh(f().base(), session);
        for (auto* task : {&first, &second}) {
            const auto error = clientErrorOf(std::move(*task));
            QVERIFY(error);
            QCOMPARE(error->kind(), ClientError::Kind::unauthorized);
        }
        QCOMPARE(f().requestsTo(kRefreshPath), 1);
    }

    void logoutRevokesTheRefreshToken()
    {
        const BackendSession session = f().signIn();
        runTask(f().auth.logout(f().base(), std::nullopt));
        const LoopbackRequest request = f().service.http().requests().constLast();
        QCOMPARE(request.path, QStringLiteral("/api/v1/auth/logout"));
        QCOMPARE(request.jsonBody(), (QJsonObject{{"refreshToken", session.refreshToken}}));
        QVERIFY(!f().service.isRefreshTokenActive(session.refreshToken));
        // Clearing the saved session is the caller's decision.
        QCOMPARE(f().auth.sessionStore().load(), std::optional<BackendSession>(session));
    }

    void changePassword()
    {
        const BackendSession session = f().signIn();
        const auto wrong =
            clientErrorOf(f().auth.changePassword(f().base(), session.accessToken, "nope", "new secret"));
        QVERIFY(wrong);
        QCOMPARE(wrong->code(), QStringLiteral("INVALID_PASSWORD"));

        runTask(f().auth.changePassword(f().base(), session.accessToken, kPassword, " new secret"));
        const LoopbackRequest request = f().service.http().requests().constLast();
        QCOMPARE(request.header("Authorization"), "Bearer " + session.accessToken.toUtf8());
        QCOMPARE(request.jsonBody(),
                 (QJsonObject{{"currentPassword", kPassword}, {"newPassword", " new secret"}}));
        runTask(f().auth.login(f().base(), kEmail, " new secret", std::nullopt, std::nullopt));
    }

    void expiredAccessTokenIsRefusedAsUnauthorized()
    {
        f().service.setAccessTokenLifetime(0);
        const BackendSession session = f().signIn();
        const auto error =
            clientErrorOf(f().auth.changePassword(f().base(), session.accessToken, kPassword, "other1"));
        QVERIFY(error);
        QCOMPARE(error->kind(), ClientError::Kind::unauthorized);
    }
};

QTEST_GUILESS_MAIN(BackendAuthTest)
#include "tst_backendauth.moc"
