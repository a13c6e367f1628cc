#include "AccountFixture.h"
#include "backend/AuthSessionStore.h"
#include "store/JSONLStore.h"
#include "support/TaskRunner.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

using namespace orvalink;
using namespace orvalink::test;

Q_DECLARE_METATYPE(orvalink::UILanguage)

namespace {

const QString kLoginPath = QStringLiteral("/api/v1/auth/login");

QString text(const std::optional<QString>& value)
{
    return value.value_or(QStringLiteral("<none>"));
}

} // namespace

// Sign-in, sign-up, captcha, sign-out, password change and the loss of a session, against the
// loopback account service.
class AccountAuthTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AccountFixture> m_fixture;

    AccountFixture& fixture() { return *m_fixture; }
    MainViewModel& viewModel() { return m_fixture->viewModel(); }
    LoopbackHttpServer& http() { return m_fixture->service.http(); }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<AccountFixture>();
        QVERIFY(m_fixture->isReady());
    }
    void cleanup() { m_fixture.reset(); }

    void signInWithATrimmedUpperCaseAddress()
    {
        const HistoryFiles history = AccountFixture::historyOf(AccountFixture::email);
        JSONLStore::append(fixture().task(QStringLiteral("Old")), history.tasksPath);
        fixture().start();
        QVERIFY(viewModel().localHistoryScope().isGuest());
        http().setDelay(kLoginPath, std::chrono::milliseconds(200));

        auto signIn = viewModel().signIn(QStringLiteral("  Anna@Example.COM \n"), AccountFixture::password,
                                         std::nullopt, std::nullopt);
        QVERIFY(viewModel().isSubmittingAuth());
        // Every start of the three sign-in flows is ignored while one runs.
        runTask(
            viewModel().signIn(AccountFixture::email, AccountFixture::password, std::nullopt, std::nullopt));
        runTask(viewModel().registerAndSignIn(QStringLiteral("b@example.com"), AccountFixture::password,
                                              QString(), std::nullopt, std::nullopt));
        runTask(viewModel().signOutFromBackend());
        runTask(std::move(signIn));

        QCOMPARE(fixture().requestsTo(kLoginPath), 1);
        // The follow-ups: no restore over a history that holds records, then overview and feedback.
        QCOMPARE(fixture().requestsTo(kSnapshotPath), 0);
        QCOMPARE(fixture().requestsTo(kOverviewPath), 1);
        QCOMPARE(fixture().requestsTo(kFeedbackPath), 1);
        QVERIFY(!viewModel().isSubmittingAuth());
        QCOMPARE(viewModel().backendSession()->email, AccountFixture::email);
        QCOMPARE(viewModel().localHistoryScope(), LocalHistoryScope::account(AccountFixture::email));
        QCOMPARE(viewModel().tasks().size(), 1);
        QCOMPARE(text(viewModel().backendStatusMessage()), QStringLiteral("Signed in successfully."));
        QVERIFY(!viewModel().errorMessage());
        QVERIFY(viewModel().migrationAccountOverview());
        QVERIFY(viewModel().feedbackDashboard());
        QCOMPARE(AuthSessionStore(AccountFixture::sessionPath()).load()->email, AccountFixture::email);
    }

    void signUpThenSignIn()
    {
        fixture().start();
        const QString address = QStringLiteral("new@example.com");
        runTask(viewModel().registerAndSignIn(QStringLiteral(" New@Example.com"), QStringLiteral("password1"),
                                              QStringLiteral(" Nick "), std::nullopt, std::nullopt));
        QCOMPARE(text(viewModel().backendStatusMessage()), QStringLiteral("Account created and signed in."));
        QCOMPARE(fixture().service.passwordOf(address), std::optional<QString>(QStringLiteral("password1")));
        QCOMPARE(viewModel().localHistoryScope(), LocalHistoryScope::account(address));

        runTask(viewModel().signOutFromBackend());
        QVERIFY(!viewModel().backendSession());
        runTask(viewModel().signIn(address, QStringLiteral("password1"), std::nullopt, std::nullopt));
        QCOMPARE(viewModel().backendSession()->email, address);

        // A second registration of the address is refused with the service's message.
        runTask(viewModel().registerAndSignIn(address, QStringLiteral("password1"), QString(), std::nullopt,
                                              std::nullopt));
        QCOMPARE(text(viewModel().errorMessage()), QStringLiteral("This e-mail is already registered."));
        QCOMPARE(text(viewModel().backendStatusMessage()), QStringLiteral("Registration failed."));
        QCOMPARE(viewModel().backendSession()->email, address);
    }

    void aFailedSignInPublishesNoSession_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("sessionFileBlocked");
        QTest::addColumn<QString>("error");
        QTest::newRow("wrong password") << "wrong" << false << "Invalid e-mail or password.";
        QTest::newRow("session file cannot be written") << AccountFixture::password << true << "";
    }
    void aFailedSignInPublishesNoSession()
    {
        QFETCH(QString, password);
        QFETCH(bool, sessionFileBlocked);
        QFETCH(QString, error);
        fixture().start();
        if (sessionFileBlocked)
            QVERIFY(QDir().mkpath(AccountFixture::sessionPath() + QStringLiteral("/occupied")));

        runTask(viewModel().signIn(AccountFixture::email, password, std::nullopt, std::nullopt));
        QVERIFY(!viewModel().backendSession());
        QVERIFY(viewModel().localHistoryScope().isGuest());
        QVERIFY(viewModel().errorMessage());
        if (!error.isEmpty())
            QCOMPARE(*viewModel().errorMessage(), error);
        QCOMPARE(text(viewModel().backendStatusMessage()), QStringLiteral("Sign in failed."));
        QVERIFY(!viewModel().isSubmittingAuth());
        QVERIFY(!viewModel().accessRequirementPrompt());
    }

    void withTheCaptchaOnAFailedSignInFetchesAFreshChallenge()
    {
        fixture().service.setCaptchaEnabled(true);
        fixture().start();
        runTask(viewModel().refreshAuthRequirements(true));
        QVERIFY(viewModel().authSettings()->captchaEnabled);
        const std::optional<BackendCaptchaChallenge> first = viewModel().authCaptchaChallenge();
        QVERIFY(first && first->captchaId);
        QCOMPARE(text(viewModel().backendStatusMessage()),
                 QStringLiteral("Captcha is enabled. Sign-in and sign-up now require the code."));

        runTask(viewModel().signIn(AccountFixture::email, AccountFixture::password, first->captchaId,
                                   QStringLiteral("0000")));
        QCOMPARE(text(viewModel().errorMessage()), QStringLiteral("Captcha is invalid or expired."));
        // The quiet refresh writes no text of its own, so the sign-in's fallback is shown.
        QCOMPARE(text(viewModel().backendStatusMessage()), QStringLiteral("Sign in failed."));
        const std::optional<BackendCaptchaChallenge> second = viewModel().authCaptchaChallenge();
        QVERIFY(second && second->captchaId && *second->captchaId != *first->captchaId);

        runTask(viewModel().signIn(AccountFixture::email, AccountFixture::password, second->captchaId,
                                   fixture().service.captchaCode(*second->captchaId)));
        QVERIFY(viewModel().backendSession());
        QCOMPARE(fixture().requestsTo(kCaptchaPath), 2);
    }

    void withTheCaptchaOffNoChallengeIsShownOrFetched()
    {
        fixture().start();
        runTask(viewModel().refreshAuthCaptcha(true)); // before the settings were ever loaded
        QVERIFY(!viewModel().authCaptchaChallenge());
        QCOMPARE(text(viewModel().backendStatusMessage()), QStringLiteral("Captcha is currently disabled."));
        QCOMPARE(http().requests().size(), 0);

        BackendCaptchaChallenge shown;
        shown.enabled = true;
        viewModel().setAuthCaptchaChallenge(shown);
        runTask(viewModel().refreshAuthRequirements(true));
        QVERIFY(!viewModel().authSettings()->captchaEnabled);
        QVERIFY(!viewModel().authCaptchaChallenge());
        QCOMPARE(text(viewModel().backendStatusMessage()), QStringLiteral("Captcha is currently disabled."));

        runTask(
            viewModel().signIn(AccountFixture::email, QStringLiteral("wrong"), std::nullopt, std::nullopt));
        QCOMPARE(fixture().requestsTo(kCaptchaPath), 0);
        QVERIFY(!viewModel().isRefreshingAuthRequirements());
        QVERIFY(!viewModel().isRefreshingAuthCaptcha());
    }

    void sessionLoss_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("lost");
        QTest::newRow("401 whatever the code") << 401 << "SOMETHING_ELSE" << true;
        QTest::newRow("403") << 403 << "FORBIDDEN" << true;
        QTest::newRow("AUTH_ code") << 400 << "AUTH_SESSION_REVOKED" << true;
        QTest::newRow("lower-case auth_") << 400 << "auth_session_revoked" << false;
        QTest::newRow("AUTH without underscore") << 400 << "AUTH" << false;
        QTest::newRow("server error") << 500 << "INTERNAL" << false;
        QTest::newRow("transport failure") << 0 << "" << false;
    }
    void sessionLoss()
    {
        QFETCH(int, status);
        QFETCH(QString, code);
        QFETCH(bool, lost);
        fixture().start();
        QVERIFY(fixture().signIn());
        viewModel().setErrorMessage(QStringLiteral("an older error"));
        if (status == 0) {
            AppConfig config = viewModel().config();
            config.backendBaseURL = QStringLiteral("http://127.0.0.1:1");
            viewModel().setConfig(config);
        } else {
            http().answerNext(kFeedbackPath,
                              LoopbackReply::envelope(status, code, QStringLiteral("Refused.")));
        }

        runTask(viewModel().refreshFeedbackDashboard(true));
        QVERIFY(!viewModel().isRefreshingFeedbackDashboard());
        QCOMPARE(!viewModel().backendSession(), lost);
        QCOMPARE(!QFileInfo::exists(AccountFixture::sessionPath()), lost);
        QCOMPARE(viewModel().localHistoryScope().isGuest(), lost);
        QCOMPARE(viewModel().feedbackDashboard().has_value(), !lost);
        if (lost) {
            QVERIFY(!viewModel().errorMessage());
            const QString expired = QStringLiteral("Session expired. Please sign in again.");
            QCOMPARE(text(viewModel().backendStatusMessage()), expired);
            const std::optional<AccessRequirementPrompt> prompt = viewModel().accessRequirementPrompt();
            QVERIFY(prompt);
            QCOMPARE(prompt->kind, AccessRequirementPrompt::Kind::requiresSignIn);
            QCOMPARE(prompt->title, QStringLiteral("Sign In Required"));
            QCOMPARE(prompt->message, expired);
            QVERIFY(!viewModel().migrationAccountOverview());
        } else {
            QVERIFY(viewModel().errorMessage() && *viewModel().errorMessage() != "an older error");
            if (status != 0)
                QCOMPARE(*viewModel().errorMessage(), QStringLiteral("Refused."));
            QCOMPARE(text(viewModel().backendStatusMessage()), QStringLiteral("Failed to load feedback."));
            QVERIFY(!viewModel().accessRequirementPrompt());
        }
    }

    void signOut_data()
    {
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QString>("status");
        QTest::newRow("online") << true << "Signed out.";
        QTest::newRow("offline") << false << "Local session cleared, but server logout failed: ";
    }
    void signOut()
    {
        QFETCH(bool, reachable);
        QFETCH(QString, status);
        fixture().start();
        QVERIFY(fixture().signIn());
        const QString refreshToken = viewModel().backendSession()->refreshToken;
        if (!reachable) {
            AppConfig config = viewModel().config();
            config.backendBaseURL = QStringLiteral("http://127.0.0.1:1");
            viewModel().setConfig(config);
        }

        runTask(viewModel().signOutFromBackend());
        QVERIFY(viewModel().backendStatusMessage()->startsWith(status));
        QVERIFY(!viewModel().errorMessage());
        QVERIFY(!viewModel().backendSession());
        QVERIFY(!QFileInfo::exists(AccountFixture::sessionPath()));
        QVERIFY(viewModel().localHistoryScope().isGuest());
        QVERIFY(!viewModel().feedbackDashboard());
        QVERIFY(!viewModel().migrationAccountOverview());
        QVERIFY(!viewModel().currentMigrationDeviceFingerprint());
        QCOMPARE(fixture().service.isRefreshTokenActive(refreshToken), !reachable);
        QVERIFY(!viewModel().isSubmittingAuth());
    }

    // A session file left behind (its removal failed earlier) is revoked at the service when the
    // user signs out without a published session; with no file nothing is sent.
    void signOutRevokesASessionLeftInTheFile()
    {
        fixture().start();
        runTask(viewModel().signOutFromBackend());
        QCOMPARE(fixture().requestsTo(kLogoutPath), 0);
        QCOMPARE(text(viewModel().backendStatusMessage()), QStringLiteral("Signed out."));

        QVERIFY(fixture().signIn());
        const QString refreshToken = viewModel().backendSession()->refreshToken;
        QFile sessionFile(AccountFixture::sessionPath());
        QVERIFY(sessionFile.open(QIODevice::ReadOnly));
        const QByteArray savedSession = sessionFile.readAll();
        sessionFile.close();
        // Signed out while the service was out of reach: the token is still valid there.
        const AppConfig reachable = viewModel().config();
        AppConfig offline = reachable;
        offline.backendBaseURL = QStringLiteral("http://127.0.0.1:1");
        viewModel().setConfig(offline);
        runTask(viewModel().signOutFromBackend());
        QVERIFY(fixture().service.isRefreshTokenActive(refreshToken));
        viewModel().setConfig(reachable);
        QVERIFY(sessionFile.open(QIODevice::WriteOnly));
        QCOMPARE(sessionFile.write(savedSession), savedSession.size());
        sessionFile.close();
        QVERIFY(!viewModel().backendSession());

        runTask(viewModel().signOutFromBackend());
        QCOMPARE(fixture().requestsTo(kLogoutPath), 1);
        QVERIFY(!fixture().service.isRefreshTokenActive(refreshToken));
        QCOMPARE(text(viewModel().backendStatusMessage()), QStringLiteral("Signed out."));
        QVERIFY(!QFileInfo::exists(AccountFixture::sessionPath()));
        QVERIFY(!viewModel().backendSession());
        QVERIFY(!viewModel().errorMessage());
    }

    // A renewal that was out when the user signed out must not bring the session back, neither in
    // the published state nor in the session file.
    void aSignOutWhileARefreshIsInFlightStaysSignedOut()
    {
        fixture().start();
        QVERIFY(fixture().signIn());
        fixture().now = viewModel().backendSession()->accessTokenExpiresAt.addSecs(-30);
        http().setDelay(kRefreshPath, std::chrono::milliseconds(1000));

        auto refresh = viewModel().refreshFeedbackDashboard(true);
        QTRY_COMPARE(fixture().requestsTo(kRefreshPath), 1);
        runTask(viewModel().signOutFromBackend());
        runTask(std::move(refresh));

        QVERIFY(!viewModel().backendSession());
        QVERIFY(!QFileInfo::exists(AccountFixture::sessionPath()));
        QVERIFY(viewModel().localHistoryScope().isGuest());
        QVERIFY(!viewModel().feedbackDashboard());
        QVERIFY(!viewModel().isRefreshingFeedbackDashboard());
    }

    // A refusal of an older session's request arriving after another account signed in is about a
    // session that is gone: the newer one stays.
    void aLateRefusalOfAnOlderSessionLeavesTheNewerOne()
    {
        fixture().service.addUser(QStringLiteral("ben@example.com"), AccountFixture::password);
        fixture().start();
        QVERIFY(fixture().signIn());
        LoopbackReply refusal = LoopbackReply::envelope(401, QStringLiteral("AUTH_TOKEN_INVALID"),
                                                        QStringLiteral("Access token is invalid."));
        refusal.delay = std::chrono::milliseconds(1000);
        http().answerNext(kOverviewPath, refusal);

        auto overview = viewModel().refreshMigrationOverview(true);
        runTask(viewModel().signOutFromBackend());
        runTask(viewModel().signIn(QStringLiteral("ben@example.com"), AccountFixture::password, std::nullopt,
                                   std::nullopt));
        runTask(std::move(overview));

        QCOMPARE(viewModel().backendSession()->email, QStringLiteral("ben@example.com"));
        QVERIFY(QFileInfo::exists(AccountFixture::sessionPath()));
        QVERIFY(!viewModel().accessRequirementPrompt());
        QCOMPARE(text(viewModel().backendStatusMessage()), QStringLiteral("Signed in successfully."));
        QVERIFY(!viewModel().isRefreshingMigrationOverview());
    }

    void passwordChange_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("changed") << true << AccountFixture::password
                                 << "Password updated. Please sign in again with the new password."
                                 << "<none>";
        QTest::newRow("wrong current password") << true << "wrong"
                                                << "Failed to change password."
                                                << "Current password is incorrect.";
        QTest::newRow("signed out") << false << AccountFixture::password
                                    << "Sign in before changing the password."
                                    << "<none>";
    }
    void passwordChange()
    {
        QFETCH(bool, signedIn);
        QFETCH(QString, current);
        fixture().start();
        if (signedIn)
            QVERIFY(fixture().signIn());
        const bool changes = signedIn && current == AccountFixture::password;

        runTask(viewModel().changeBackendPassword(current, QStringLiteral("another pass")));
        QTEST(text(viewModel().backendStatusMessage()), "status");
        QTEST(text(viewModel().errorMessage()), "error");
        QVERIFY(!viewModel().isChangingPassword());
        const QString expected = changes ? QStringLiteral("another pass") : AccountFixture::password;
        QCOMPARE(*fixture().service.passwordOf(AccountFixture::email), expected);
        QCOMPARE(viewModel().backendSession().has_value(), signedIn && !changes);
        if (changes) {
            QVERIFY(!QFileInfo::exists(AccountFixture::sessionPath()));
            QVERIFY(viewModel().localHistoryScope().isGuest());
            QVERIFY(viewModel().feedbackDashboard()); // kept after a password change
            QCOMPARE(fixture().requestsTo(kLogoutPath), 0);
        }
    }

    void textsInTheThreeLanguages_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("signedIn");
        QTest::addColumn<QString>("captchaOff");
        QTest::addColumn<QString>("signedOut");
        QTest::newRow("chinese") << UILanguage::chinese << "登录成功。"
                                 << "验证码当前已关闭。"
                                 << "已退出登录。";
        QTest::newRow("english") << UILanguage::english << "Signed in successfully."
                                 << "Captcha is currently disabled."
                                 << "Signed out.";
        QTest::newRow("bilingual") << UILanguage::bilingual << "登录成功。 Signed in successfully."
                                   << "验证码当前已关闭。 Captcha is currently disabled."
                                   << "已退出登录。 Signed out.";
    }
    void textsInTheThreeLanguages()
    {
        QFETCH(UILanguage, language);
        fixture().start([language](AppConfig& config) { config.uiLanguage = language; });
        QVERIFY(fixture().signIn());
        QTEST(text(viewModel().backendStatusMessage()), "signedIn");
        runTask(viewModel().refreshAuthCaptcha(true));
        QTEST(text(viewModel().backendStatusMessage()), "captchaOff");
        runTask(viewModel().signOutFromBackend());
        QTEST(text(viewModel().backendStatusMessage()), "signedOut");
    }
};

QTEST_GUILESS_MAIN(AccountAuthTest)
#include "tst_accountauth.moc"
