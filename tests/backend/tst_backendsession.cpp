#include "AuthFixture.h"

#include <QTest>

using namespace orvalink;
using namespace orvalink::test;
using namespace std::chrono_literals;

namespace {
const QString kRefreshPath = QStringLiteral("/api/v1/auth/refresh");
} // namespace

// Refresh, the expiry margin, the shared refresh and logout of the authentication service.
class BackendSessionTest : public QObject {
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
};

QTEST_GUILESS_MAIN(BackendSessionTest)
#include "tst_backendsession.moc"
