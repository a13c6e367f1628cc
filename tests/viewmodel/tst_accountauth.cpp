#include "AccountFixture.h"
#include "backend/AuthSessionStore.h"
#include "store/JSONLStore.h"
#include "support/ImmutableFlag.h"
#include "support/TaskRunner.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

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
        QVERIFY(viewModel().persisted().localHistoryScope().isGuest());
        http().setDelay(kLoginPath, std::chrono::milliseconds(200));

        auto signIn = viewModel().account().auth().signIn(
            QStringLiteral("  Anna@Example.COM \n"), AccountFixture::password, std::nullopt, std::nullopt);
        QVERIFY(viewModel().accountState().isSubmittingAuth());
        // Every start of the three sign-in flows is ignored while one runs.
        runTask(viewModel().account().auth().signIn(AccountFixture::email, AccountFixture::password,
                                                    std::nullopt, std::nullopt));
        runTask(viewModel().account().auth().registerAndSignIn(QStringLiteral("b@example.com"),
                                                               AccountFixture::password, QString(),
                                                               std::nullopt, std::nullopt));
        runTask(viewModel().account().auth().signOutFromBackend());
        runTask(std::move(signIn));

        QCOMPARE(fixture().requestsTo(kLoginPath), 1);
        // The follow-ups: no restore over a history that holds records, then overview and feedback.
        QCOMPARE(fixture().requestsTo(kSnapshotPath), 0);
        QCOMPARE(fixture().requestsTo(kOverviewPath), 1);
        QCOMPARE(fixture().requestsTo(kFeedbackPath), 1);
        QVERIFY(!viewModel().accountState().isSubmittingAuth());
        QCOMPARE(viewModel().accountState().backendSession()->email, AccountFixture::email);
        QCOMPARE(viewModel().persisted().localHistoryScope(),
                 LocalHistoryScope::account(AccountFixture::email));
        // The new scope's history is read off the main thread after the sign-in.
        QTRY_COMPARE(viewModel().history().tasks().size(), 1);
        QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Signed in successfully."));
        QVERIFY(!errorLine(viewModel()));
        QVERIFY(viewModel().accountState().migrationAccountOverview());
        QVERIFY(viewModel().accountState().feedbackDashboard());
        QCOMPARE(AuthSessionStore(AccountFixture::sessionPath()).load()->email, AccountFixture::email);
    }

    void signUpThenSignIn()
    {
        fixture().start();
        const QString address = QStringLiteral("new@example.com");
        runTask(viewModel().account().auth().registerAndSignIn(
            QStringLiteral(" New@Example.com"), QStringLiteral("password1"), QStringLiteral(" Nick "),
            std::nullopt, std::nullopt));
        QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Account created and signed in."));
        QCOMPARE(fixture().service.passwordOf(address), std::optional<QString>(QStringLiteral("password1")));
        QCOMPARE(viewModel().persisted().localHistoryScope(), LocalHistoryScope::account(address));

        runTask(viewModel().account().auth().signOutFromBackend());
        QVERIFY(!viewModel().accountState().backendSession());
        runTask(viewModel().account().auth().signIn(address, QStringLiteral("password1"), std::nullopt,
                                                    std::nullopt));
        QCOMPARE(viewModel().accountState().backendSession()->email, address);

        // A second registration of the address is refused with the service's message.
        runTask(viewModel().account().auth().registerAndSignIn(address, QStringLiteral("password1"),
                                                               QString(), std::nullopt, std::nullopt));
        QCOMPARE(text(errorLine(viewModel())), QStringLiteral("This e-mail is already registered."));
        QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Registration failed."));
        QCOMPARE(viewModel().accountState().backendSession()->email, address);
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

        runTask(
            viewModel().account().auth().signIn(AccountFixture::email, password, std::nullopt, std::nullopt));
        QVERIFY(!viewModel().accountState().backendSession());
        QVERIFY(viewModel().persisted().localHistoryScope().isGuest());
        QVERIFY(errorLine(viewModel()));
        if (!error.isEmpty())
            QCOMPARE(*errorLine(viewModel()), error);
        QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Sign in failed."));
        QVERIFY(!viewModel().accountState().isSubmittingAuth());
        QVERIFY(!viewModel().activity().accessRequirementPrompt());
    }

    void withTheCaptchaOnAFailedSignInFetchesAFreshChallenge()
    {
        fixture().service.setCaptchaEnabled(true);
        fixture().start();
        runTask(viewModel().account().requirements().refreshAuthRequirements(true));
        QVERIFY(viewModel().accountState().authSettings()->captchaEnabled);
        const std::optional<BackendCaptchaChallenge> first =
            viewModel().accountState().authCaptchaChallenge();
        QVERIFY(first && first->captchaId);
        QCOMPARE(text(statusLine(viewModel())),
                 QStringLiteral("Captcha is enabled. Sign-in and sign-up now require the code."));

        runTask(viewModel().account().auth().signIn(AccountFixture::email, AccountFixture::password,
                                                    first->captchaId, QStringLiteral("0000")));
        QCOMPARE(text(errorLine(viewModel())), QStringLiteral("Captcha is invalid or expired."));
        // The quiet refresh writes no text of its own, so the sign-in's fallback is shown.
        QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Sign in failed."));
        const std::optional<BackendCaptchaChallenge> second =
            viewModel().accountState().authCaptchaChallenge();
        QVERIFY(second && second->captchaId && *second->captchaId != *first->captchaId);

        runTask(viewModel().account().auth().signIn(AccountFixture::email, AccountFixture::password,
                                                    second->captchaId,
                                                    fixture().service.captchaCode(*second->captchaId)));
        QVERIFY(viewModel().accountState().backendSession());
        QCOMPARE(fixture().requestsTo(kCaptchaPath), 2);
    }

    void withTheCaptchaOffNoChallengeIsShownOrFetched()
    {
        fixture().start();
        runTask(viewModel().account().requirements().refreshAuthCaptcha(
            true)); // before the settings were ever loaded
        QVERIFY(!viewModel().accountState().authCaptchaChallenge());
        QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Captcha is currently disabled."));
        QCOMPARE(http().requests().size(), 0);

        BackendCaptchaChallenge shown;
        shown.enabled = true;
        ViewModelInternals::context(viewModel()).accountState().setAuthCaptchaChallenge(shown);
        runTask(viewModel().account().requirements().refreshAuthRequirements(true));
        QVERIFY(!viewModel().accountState().authSettings()->captchaEnabled);
        QVERIFY(!viewModel().accountState().authCaptchaChallenge());
        QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Captcha is currently disabled."));

        runTask(viewModel().account().auth().signIn(AccountFixture::email, QStringLiteral("wrong"),
                                                    std::nullopt, std::nullopt));
        QCOMPARE(fixture().requestsTo(kCaptchaPath), 0);
        QVERIFY(!viewModel().accountState().isRefreshingAuthRequirements());
        QVERIFY(!viewModel().accountState().isRefreshingAuthCaptcha());
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
        ViewModelInternals::context(viewModel())
            .activity()
            .setErrorMessage(BilingualText::same(QStringLiteral("an older error")));
        if (status == 0) {
            AppConfig config = viewModel().browsing().config();
            config.backendBaseURL = QStringLiteral("http://127.0.0.1:1");
            ViewModelInternals::context(viewModel()).browsing().setConfig(config);
        } else {
            http().answerNext(kFeedbackPath,
                              LoopbackReply::envelope(status, code, QStringLiteral("Refused.")));
        }

        runTask(viewModel().account().feedback().refreshFeedbackDashboard(true));
        QVERIFY(!viewModel().accountState().isRefreshingFeedbackDashboard());
        QCOMPARE(!viewModel().accountState().backendSession(), lost);
        QCOMPARE(!QFileInfo::exists(AccountFixture::sessionPath()), lost);
        QCOMPARE(viewModel().persisted().localHistoryScope().isGuest(), lost);
        QCOMPARE(viewModel().accountState().feedbackDashboard().has_value(), !lost);
        if (lost) {
            QVERIFY(!errorLine(viewModel()));
            const QString expired = QStringLiteral("Session expired. Please sign in again.");
            QCOMPARE(text(statusLine(viewModel())), expired);
            const std::optional<AccessRequirementPrompt> prompt =
                viewModel().activity().accessRequirementPrompt();
            QVERIFY(prompt);
            QCOMPARE(prompt->kind, AccessRequirementPrompt::Kind::requiresSignIn);
            QCOMPARE(viewModel().presentation().localized(prompt->title), QStringLiteral("Sign In Required"));
            QCOMPARE(viewModel().presentation().localized(prompt->message), expired);
            QVERIFY(!viewModel().accountState().migrationAccountOverview());
        } else {
            QVERIFY(errorLine(viewModel()) && *errorLine(viewModel()) != "an older error");
            // The service's own refusal as it wrote it; a connection that failed in the user's words.
            const QString unreachable = QStringLiteral(
                "Cannot reach the account service. Check the network connection and try again.");
            QCOMPARE(*errorLine(viewModel()), status != 0 ? QStringLiteral("Refused.") : unreachable);
            QCOMPARE(text(statusLine(viewModel())),
                     status != 0 ? QStringLiteral("Failed to load feedback.") : unreachable);
            QVERIFY(viewModel().accountState().backendStatusIsFailure());
            QVERIFY(!viewModel().activity().accessRequirementPrompt());
        }
    }

    void signOut_data()
    {
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QString>("status");
        QTest::newRow("online") << true << "Signed out.";
        QTest::newRow("offline")
            << false
            << "Local session cleared, but server logout failed: Cannot reach the account "
               "service. Check the network connection and try again.";
    }
    void signOut()
    {
        QFETCH(bool, reachable);
        QFETCH(QString, status);
        fixture().start();
        QVERIFY(fixture().signIn());
        const QString refreshToken = viewModel().accountState().backendSession()->refreshToken;
        if (!reachable) {
            AppConfig config = viewModel().browsing().config();
            config.backendBaseURL = QStringLiteral("http://127.0.0.1:1");
            ViewModelInternals::context(viewModel()).browsing().setConfig(config);
        }

        runTask(viewModel().account().auth().signOutFromBackend());
        QCOMPARE(text(statusLine(viewModel())), status);
        QCOMPARE(viewModel().accountState().backendStatusIsFailure(), !reachable);
        QVERIFY(!errorLine(viewModel()));
        QVERIFY(!viewModel().accountState().backendSession());
        QVERIFY(!QFileInfo::exists(AccountFixture::sessionPath()));
        QVERIFY(viewModel().persisted().localHistoryScope().isGuest());
        QVERIFY(!viewModel().accountState().feedbackDashboard());
        QVERIFY(!viewModel().accountState().migrationAccountOverview());
        QVERIFY(!viewModel().accountState().currentMigrationDeviceFingerprint());
        QCOMPARE(fixture().service.isRefreshTokenActive(refreshToken), !reachable);
        QVERIFY(!viewModel().accountState().isSubmittingAuth());
    }

    // The session file cannot be removed: the window is signed out, but the user is told that the
    // next start signs in again, and no clean sign-out is reported.
    void signOutThatKeepsTheSessionFileSaysSo_data()
    {
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QString>("serverPart");
        QTest::newRow("online") << true << QString();
        QTest::newRow("offline") << false << "Local session cleared, but server logout failed: ";
    }
    void signOutThatKeepsTheSessionFileSaysSo()
    {
        QFETCH(bool, reachable);
        QFETCH(QString, serverPart);
        fixture().start();
        QVERIFY(fixture().signIn());
        if (!reachable) {
            AppConfig config = viewModel().browsing().config();
            config.backendBaseURL = QStringLiteral("http://127.0.0.1:1");
            ViewModelInternals::context(viewModel()).browsing().setConfig(config);
        }
        ImmutableFlag locked(QFileInfo(AccountFixture::sessionPath()).path());
        if (!locked.isSet())
            QSKIP(qPrintable(locked.skipReason()));

        runTask(viewModel().account().auth().signOutFromBackend());

        const QString status = text(statusLine(viewModel()));
        const QString kept =
            QStringLiteral("Signed out in this window, but the saved session could not be removed: "
                           "Operation not permitted: %1. You will be signed in again at the next "
                           "start.")
                .arg(AccountFixture::sessionPath());
        QVERIFY2(status.startsWith(serverPart) && status.endsWith(kept), qPrintable(status));
        QVERIFY(!status.contains(QStringLiteral("Signed out.")));
        QCOMPARE(text(errorLine(viewModel())), kept);
        QVERIFY(QFileInfo::exists(AccountFixture::sessionPath()));
        QVERIFY(!viewModel().accountState().backendSession());
        QVERIFY(viewModel().persisted().localHistoryScope().isGuest());
        QVERIFY(!viewModel().accountState().isSubmittingAuth());
    }

    void anUnreachableServiceIsSaidInTheUsersLanguage_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("expected");
        const QString zh = QStringLiteral("无法连接账号服务，请检查网络连接后再试。");
        const QString en =
            QStringLiteral("Cannot reach the account service. Check the network connection and try again.");
        QTest::newRow("english") << UILanguage::english << en;
        QTest::newRow("chinese") << UILanguage::chinese << zh;
        QTest::newRow("bilingual") << UILanguage::bilingual << zh + " " + en;
    }
    // Refused connections: the requirements the sheet loads on its own, a sign-in and a feedback
    // all say the same thing, and the status line marks it as a failure.
    void anUnreachableServiceIsSaidInTheUsersLanguage()
    {
        QFETCH(UILanguage, language);
        QFETCH(QString, expected);
        fixture().start([language](AppConfig& config) { config.uiLanguage = language; });
        QVERIFY(fixture().signIn());
        AppConfig config = viewModel().browsing().config();
        config.backendBaseURL = QStringLiteral("http://127.0.0.1:1");
        ViewModelInternals::context(viewModel()).browsing().setConfig(config);

        ViewModelInternals::context(viewModel()).activity().setErrorMessage(std::nullopt);
        ViewModelInternals::context(viewModel()).accountState().setBackendStatusMessage(std::nullopt);
        runTask(viewModel().account().feedback().submitFeedback(FeedbackCategory::bug, "Subject", "Content"));
        QCOMPARE(text(errorLine(viewModel())), expected);

        viewModel().account().session().endSessionLocally(false);
        ViewModelInternals::context(viewModel()).activity().setErrorMessage(std::nullopt);
        ViewModelInternals::context(viewModel()).accountState().setBackendStatusMessage(std::nullopt);
        runTask(viewModel().account().requirements().refreshAuthRequirements(false));
        QCOMPARE(text(statusLine(viewModel())), expected);
        QVERIFY(viewModel().accountState().backendStatusIsFailure());
        QVERIFY(!errorLine(viewModel()));

        runTask(viewModel().account().auth().signIn(AccountFixture::email, AccountFixture::password,
                                                    std::nullopt, std::nullopt));
        QCOMPARE(text(errorLine(viewModel())), expected);
        QVERIFY(viewModel().accountState().backendStatusIsFailure());
        // A later success clears the failure mark with its own text.
        ViewModelInternals::context(viewModel())
            .accountState()
            .setBackendStatusMessage(BilingualText::same(QStringLiteral("Signed out.")));
        QVERIFY(!viewModel().accountState().backendStatusIsFailure());
    }

    // A session file left behind (its removal failed earlier) is revoked at the service when the
    // user signs out without a published session; with no file nothing is sent.
    void signOutRevokesASessionLeftInTheFile()
    {
        fixture().start();
        runTask(viewModel().account().auth().signOutFromBackend());
        QCOMPARE(fixture().requestsTo(kLogoutPath), 0);
        QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Signed out."));

        QVERIFY(fixture().signIn());
        const QString refreshToken = viewModel().accountState().backendSession()->refreshToken;
        QFile sessionFile(AccountFixture::sessionPath());
        QVERIFY(sessionFile.open(QIODevice::ReadOnly));
        const QByteArray savedSession = sessionFile.readAll();
        sessionFile.close();
        // Signed out while the service was out of reach: the token is still valid there.
        const AppConfig reachable = viewModel().browsing().config();
        AppConfig offline = reachable;
        offline.backendBaseURL = QStringLiteral("http://127.0.0.1:1");
        ViewModelInternals::context(viewModel()).browsing().setConfig(offline);
        runTask(viewModel().account().auth().signOutFromBackend());
        QVERIFY(fixture().service.isRefreshTokenActive(refreshToken));
        ViewModelInternals::context(viewModel()).browsing().setConfig(reachable);
        QVERIFY(sessionFile.open(QIODevice::WriteOnly));
        QCOMPARE(sessionFile.write(savedSession), savedSession.size());
        sessionFile.close();
        QVERIFY(!viewModel().accountState().backendSession());

        runTask(viewModel().account().auth().signOutFromBackend());
        QCOMPARE(fixture().requestsTo(kLogoutPath), 1);
        QVERIFY(!fixture().service.isRefreshTokenActive(refreshToken));
        QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Signed out."));
        QVERIFY(!QFileInfo::exists(AccountFixture::sessionPath()));
        QVERIFY(!viewModel().accountState().backendSession());
        QVERIFY(!errorLine(viewModel()));
    }

    // A renewal that was out when the user signed out must not bring the session back, neither in
    // the published state nor in the session file.
    void aSignOutWhileARefreshIsInFlightStaysSignedOut()
    {
        fixture().start();
        QVERIFY(fixture().signIn());
        fixture().now = viewModel().accountState().backendSession()->accessTokenExpiresAt.addSecs(-30);
        http().setDelay(kRefreshPath, std::chrono::milliseconds(1000));

        auto refresh = viewModel().account().feedback().refreshFeedbackDashboard(true);
        QTRY_COMPARE(fixture().requestsTo(kRefreshPath), 1);
        runTask(viewModel().account().auth().signOutFromBackend());
        runTask(std::move(refresh));

        QVERIFY(!viewModel().accountState().backendSession());
        QVERIFY(!QFileInfo::exists(AccountFixture::sessionPath()));
        QVERIFY(viewModel().persisted().localHistoryScope().isGuest());
        QVERIFY(!viewModel().accountState().feedbackDashboard());
        QVERIFY(!viewModel().accountState().isRefreshingFeedbackDashboard());
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

        auto overview = viewModel().account().overview().refreshMigrationOverview(true);
        runTask(viewModel().account().auth().signOutFromBackend());
        runTask(viewModel().account().auth().signIn(QStringLiteral("ben@example.com"),
                                                    AccountFixture::password, std::nullopt, std::nullopt));
        runTask(std::move(overview));

        QCOMPARE(viewModel().accountState().backendSession()->email, QStringLiteral("ben@example.com"));
        QVERIFY(QFileInfo::exists(AccountFixture::sessionPath()));
        QVERIFY(!viewModel().activity().accessRequirementPrompt());
        QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Signed in successfully."));
        QVERIFY(!viewModel().accountState().isRefreshingMigrationOverview());
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

        runTask(viewModel().account().auth().changeBackendPassword(current, QStringLiteral("another pass")));
        QTEST(text(statusLine(viewModel())), "status");
        QTEST(text(errorLine(viewModel())), "error");
        QVERIFY(!viewModel().accountState().isChangingPassword());
        const QString expected = changes ? QStringLiteral("another pass") : AccountFixture::password;
        QCOMPARE(*fixture().service.passwordOf(AccountFixture::email), expected);
        QCOMPARE(viewModel().accountState().backendSession().has_value(), signedIn && !changes);
        if (changes) {
            QVERIFY(!QFileInfo::exists(AccountFixture::sessionPath()));
            QVERIFY(viewModel().persisted().localHistoryScope().isGuest());
            QVERIFY(viewModel().accountState().feedbackDashboard()); // kept after a password change
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
        QTEST(text(statusLine(viewModel())), "signedIn");
        runTask(viewModel().account().requirements().refreshAuthCaptcha(true));
        QTEST(text(statusLine(viewModel())), "captchaOff");
        runTask(viewModel().account().auth().signOutFromBackend());
        QTEST(text(statusLine(viewModel())), "signedOut");
    }
};

QTEST_GUILESS_MAIN(AccountAuthTest)
#include "tst_accountauth.moc"
