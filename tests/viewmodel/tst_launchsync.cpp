#include "ViewModelFixture.h"
#include "backend/AuthSessionStore.h"
#include "model/AppPaths.h"
#include "store/JSONLStore.h"
#include "support/LoopbackAccountService.h"
#include "support/TaskRunner.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QFileInfo>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

namespace {

const QString kEmail = QStringLiteral("anna@example.com");
const QString kPassword = QStringLiteral("secret pass");
const QString kRefreshPath = QStringLiteral("/api/v1/auth/refresh");

QString sessionPath()
{
    return AppPaths::applicationSupportFile(QStringLiteral("auth_session.json"));
}

std::optional<BackendSession> savedSession()
{
    return AuthSessionStore(sessionPath()).load();
}

// The session file keeps whole seconds; the session in memory may hold a fraction.
bool sameSession(const std::optional<BackendSession>& lhs, const std::optional<BackendSession>& rhs)
{
    if (!lhs || !rhs)
        return !lhs && !rhs;
    return lhs->email == rhs->email && lhs->accessToken == rhs->accessToken &&
           lhs->refreshToken == rhs->refreshToken &&
           lhs->accessTokenExpiresAt.toSecsSinceEpoch() == rhs->accessTokenExpiresAt.toSecsSinceEpoch() &&
           lhs->signedInAt.toSecsSinceEpoch() == rhs->signedInAt.toSecsSinceEpoch();
}

MigrationTask taskFrom(const QString& source)
{
    MigrationTask task;
    task.id = QUuid::createUuid();
    task.sourcePath = source;
    task.status = TaskStatus::completed;
    return task;
}

} // namespace

// The account state restored at launch, against the loopback account service.
class LaunchSyncTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ViewModelFixture> m_fixture;
    std::unique_ptr<LoopbackAccountService> m_service;
    QDateTime m_now;

    // A fresh window whose clock is m_now and whose settings name `baseURL`.
    std::unique_ptr<MainViewModel> launch(const QString& baseURL)
    {
        AppConfig config = m_fixture->baseConfig();
        config.backendBaseURL = baseURL;
        m_fixture->writeConfig(config);
        return m_fixture->makeViewModel([this](ViewModelServices& services) {
            services.backendAuthService->setClock([this] { return m_now; });
        });
    }

    // Signs in through a first window and returns the saved session.
    BackendSession signIn()
    {
        auto window = launch(m_service->baseURL());
        return runTask(ViewModelInternals::context(*window).services().backendAuthService->login(
            m_service->baseURL(), kEmail, kPassword, std::nullopt, std::nullopt));
    }

    qsizetype refreshRequests() const { return m_service->http().requestsTo(kRefreshPath).size(); }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<ViewModelFixture>();
        m_service = std::make_unique<LoopbackAccountService>();
        m_service->addUser(kEmail, kPassword);
        QVERIFY(m_service->start());
        m_now = QDateTime::currentDateTimeUtc();
    }
    void cleanup()
    {
        m_service.reset();
        m_fixture.reset();
    }

    void withoutASessionTheGuestHistoryIsUsed()
    {
        auto viewModel = launch(m_service->baseURL());
        ViewModelInternals::context(*viewModel)
            .accountState()
            .setFeedbackDashboard(BackendFeedbackDashboard{});
        runTask(viewModel->launch().synchronizeBackendStateOnLaunch());
        QVERIFY(!viewModel->accountState().backendSession());
        QVERIFY(!viewModel->accountState().feedbackDashboard());
        QVERIFY(viewModel->persisted().localHistoryScope().isGuest());
        QCOMPARE(m_service->http().requests().size(), 0);
    }

    void aValidSessionIsRestoredWithoutARefresh()
    {
        const BackendSession session = signIn();
        auto viewModel = launch(m_service->baseURL());
        QCOMPARE(viewModel->persisted().localHistoryScope(), LocalHistoryScope::account(kEmail));
        QVERIFY(!viewModel->accountState().backendSession());
        // The account's history holds a record: nothing is restored over it.
        JSONLStore::append(taskFrom("/home/anna/Movies"),
                           ViewModelInternals::context(*viewModel).services().taskStore->filePath());
        runTask(viewModel->launch().synchronizeBackendStateOnLaunch());
        QVERIFY(sameSession(viewModel->accountState().backendSession(), session));
        QCOMPARE(refreshRequests(), 0);
        QCOMPARE(m_service->http().requestsTo(QStringLiteral("/api/v1/me/migrations/snapshot")).size(), 0);
        // The other two follow-ups ran.
        QVERIFY(viewModel->accountState().migrationAccountOverview());
        QVERIFY(viewModel->accountState().feedbackDashboard());
    }

    void aSessionNearItsExpiryIsRefreshed()
    {
        const BackendSession session = signIn();
        m_now = session.accessTokenExpiresAt.addSecs(-30);
        auto viewModel = launch(m_service->baseURL());
        runTask(viewModel->launch().synchronizeBackendStateOnLaunch());
        QCOMPARE(refreshRequests(), 1);
        QVERIFY(viewModel->accountState().backendSession());
        QVERIFY(viewModel->accountState().backendSession()->accessToken != session.accessToken);
        QCOMPARE(viewModel->accountState().backendSession()->email, kEmail);
        QVERIFY(sameSession(savedSession(), viewModel->accountState().backendSession()));
        QCOMPARE(viewModel->persisted().localHistoryScope(), LocalHistoryScope::account(kEmail));
        QVERIFY(viewModel->accountState().migrationAccountOverview());
        QVERIFY(viewModel->accountState().feedbackDashboard());
        QVERIFY(!statusLine(*viewModel));
    }

    void aSessionTheServiceRefusesIsDropped()
    {
        BackendSession session = signIn();
        session.email = QStringLiteral(" Anna@Example.com ");
        session.refreshToken = QStringLiteral("revoked");
        AuthSessionStore(sessionPath()).save(session);
        m_now = session.accessTokenExpiresAt.addSecs(10);
        auto viewModel = launch(m_service->baseURL());
        QCOMPARE(viewModel->persisted().localHistoryScope(), LocalHistoryScope::account(kEmail));
        JSONLStore::append(taskFrom("/guest/only"), AppPaths::historyDirectory() + "/guest/tasks.jsonl");

        runTask(viewModel->launch().synchronizeBackendStateOnLaunch());
        QCOMPARE(refreshRequests(), 1);
        QVERIFY(!viewModel->accountState().backendSession());
        QVERIFY(!QFileInfo::exists(sessionPath()));
        QVERIFY(viewModel->persisted().localHistoryScope().isGuest());
        QTRY_COMPARE(viewModel->history().tasks().size(), 1);
        QVERIFY(!errorLine(*viewModel));
        QVERIFY(viewModel->activity().accessRequirementPrompt());
        QCOMPARE(statusLine(*viewModel),
                 std::optional<QString>(
                     QStringLiteral("登录已失效，请重新登录。 Session expired. Please sign in again.")));
    }

    void anUnreachableServiceKeepsTheSession()
    {
        const BackendSession session = signIn();
        m_now = session.accessTokenExpiresAt.addSecs(10);
        auto viewModel = launch(QStringLiteral("http://127.0.0.1:1"));
        runTask(viewModel->launch().synchronizeBackendStateOnLaunch());
        QVERIFY(sameSession(viewModel->accountState().backendSession(), session));
        QVERIFY(sameSession(savedSession(), session));
        QCOMPARE(viewModel->persisted().localHistoryScope(), LocalHistoryScope::account(kEmail));
        QVERIFY(!errorLine(*viewModel));
        QVERIFY(!statusLine(*viewModel));
        QVERIFY(!viewModel->accountState().migrationAccountOverview());
    }

    // A sign-out while the launch renews the session: the renewal neither publishes the session
    // again nor leaves it in the session file.
    void aSignOutDuringTheLaunchRenewalStaysSignedOut()
    {
        const BackendSession session = signIn();
        m_now = session.accessTokenExpiresAt.addSecs(-30);
        m_service->http().setDelay(kRefreshPath, std::chrono::milliseconds(1000));
        auto viewModel = launch(m_service->baseURL());
        auto synchronization = viewModel->launch().synchronizeBackendStateOnLaunch();
        QVERIFY(
            sameSession(viewModel->accountState().backendSession(), session)); // published before the request
        QTRY_COMPARE(refreshRequests(), 1);
        runTask(viewModel->account().auth().signOutFromBackend());
        runTask(std::move(synchronization));
        QVERIFY(!viewModel->accountState().backendSession());
        QVERIFY(!savedSession());
        QVERIFY(viewModel->persisted().localHistoryScope().isGuest());
        QVERIFY(!viewModel->accountState().feedbackDashboard());
    }

    void startUpEndsAfterTheAccountIsRestored()
    {
        const BackendSession session = signIn();
        auto viewModel = launch(m_service->baseURL());
        runTask(viewModel->launch().bootstrap());
        QVERIFY(sameSession(viewModel->accountState().backendSession(), session));
        QVERIFY(infoLine(*viewModel));
        QVERIFY(waitUntilIdle(*viewModel));
    }
};

QTEST_GUILESS_MAIN(LaunchSyncTest)
#include "tst_launchsync.moc"
