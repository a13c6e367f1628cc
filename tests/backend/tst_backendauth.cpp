#include "AuthFixture.h"
#include "backend/ClientIdentity.h"
#include "platform/PlatformError.h"
#include "support/TestTree.h"

#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

// Sign-in settings, captchas, login, registration and password change of the authentication service.
class BackendAuthTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AuthFixture> m_fixture;
    AuthFixture& f() { return *m_fixture; }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<AuthFixture>();
        QVERIFY(f().isReady());
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
            runTask(f().auth.login(f().base(), QStringLiteral(" Anna@Example.COM \n"), AuthFixture::password,
                                   std::nullopt, QStringLiteral("   ")));
        const LoopbackRequest request = f().service.http().requests().constLast();
        QCOMPARE(request.path, QStringLiteral("/api/v1/auth/login"));
        const QJsonObject body = request.jsonBody();
        QCOMPARE(body.value("email").toString(), AuthFixture::email);
        QCOMPARE(body.value("password").toString(), AuthFixture::password);
        QCOMPARE(body.value("deviceFingerprint").toString(),
                 f().auth.deviceIdentityStore().currentFingerprint());
        QCOMPARE(body.value("deviceName").toString(), clientidentity::deviceName());
        QVERIFY(!body.value("deviceName").toString().isEmpty());
        QCOMPARE(body.value("appVersion").toString(), QStringLiteral(ORVALINK_VERSION));
        QVERIFY(!body.contains("captchaId"));
        QVERIFY(!body.contains("captchaCode"));

        QCOMPARE(session.email, AuthFixture::email);
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

        const auto wrong = clientErrorOf(
            f().auth.login(f().base(), AuthFixture::email, AuthFixture::password, challenge.captchaId, "x"));
        QVERIFY(wrong);
        QCOMPARE(wrong->code(), QStringLiteral("CAPTCHA_INVALID"));
        QCOMPARE(wrong->errorDescription(), QStringLiteral("Captcha is invalid or expired."));

        challenge = runTask(f().auth.fetchCaptchaChallenge(f().base(), "orvalink"));
        const QString code = f().service.captchaCode(*challenge.captchaId);
        runTask(f().auth.login(f().base(), AuthFixture::email, AuthFixture::password,
                               " " + *challenge.captchaId + " ", " " + code + "\n"));
        const QJsonObject body = f().service.http().requests().constLast().jsonBody();
        QCOMPARE(body.value("captchaId").toString(), *challenge.captchaId);
        QCOMPARE(body.value("captchaCode").toString(), code);
    }

    void refusedLoginSavesNothing()
    {
        const auto error = clientErrorOf(
            f().auth.login(f().base(), AuthFixture::email, "wrong", std::nullopt, std::nullopt));
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
        QVERIFY_THROWS_EXCEPTION(platform::PlatformError,
                                 runTask(auth.login(f().base(), AuthFixture::email, AuthFixture::password,
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
        QTest::addColumn<qint64>("lifetime");
        QTest::newRow("zero") << QByteArray("0") << true << qint64(0);
        QTest::newRow("a day") << QByteArray("86400") << true << qint64(86400);
        QTest::newRow("negative: due at once") << QByteArray("-1") << true << qint64(0);
        QTest::newRow("far in the past: due at once") << QByteArray("-1e15") << true << qint64(0);
        QTest::newRow("text") << QByteArray("\"3600\"") << false << qint64(0);
        QTest::newRow("fraction") << QByteArray("3600.5") << false << qint64(0);
        QTest::newRow("absurdly large") << QByteArray("1e15") << false << qint64(0);
        QTest::newRow("null") << QByteArray("null") << false << qint64(0);
    }

    void tokenLifetime()
    {
        QFETCH(QByteArray, expireIn);
        QFETCH(bool, valid);
        QFETCH(qint64, lifetime);
        f().service.http().answerNext(
            QStringLiteral("/api/v1/auth/login"),
            LoopbackReply::raw(
                200, R"({"code":"OK","msg":"","data":{"accessToken":"a","refreshToken":"r","expireIn":)" +
                         expireIn + "}}"));
        const auto error = clientErrorOf(f().auth.login(f().base(), AuthFixture::email, AuthFixture::password,
                                                        std::nullopt, std::nullopt));
        QCOMPARE(!error, valid);
        if (!valid) {
            QCOMPARE(error->kind(), ClientError::Kind::invalidResponse);
            QCOMPARE(f().auth.sessionStore().load(), std::nullopt);
            return;
        }
        const BackendSession saved = *f().auth.sessionStore().load();
        QCOMPARE(saved.accessTokenExpiresAt, f().now.addSecs(lifetime));
    }

    void changePassword()
    {
        const BackendSession session = f().signIn();
        const auto wrong =
            clientErrorOf(f().auth.changePassword(f().base(), session.accessToken, "nope", "new secret"));
        QVERIFY(wrong);
        QCOMPARE(wrong->code(), QStringLiteral("INVALID_PASSWORD"));

        runTask(
            f().auth.changePassword(f().base(), session.accessToken, AuthFixture::password, " new secret"));
        const LoopbackRequest request = f().service.http().requests().constLast();
        QCOMPARE(request.header("Authorization"), "Bearer " + session.accessToken.toUtf8());
        QCOMPARE(request.jsonBody(),
                 (QJsonObject{{"currentPassword", AuthFixture::password}, {"newPassword", " new secret"}}));
        runTask(f().auth.login(f().base(), AuthFixture::email, " new secret", std::nullopt, std::nullopt));
    }
};

QTEST_GUILESS_MAIN(BackendAuthTest)
#include "tst_backendauth.moc"
