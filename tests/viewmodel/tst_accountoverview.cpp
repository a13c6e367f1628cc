#include "AccountFixture.h"
#include "support/TaskRunner.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QJsonArray>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

Q_DECLARE_METATYPE(orvalink::UILanguage)

namespace {

QString text(const std::optional<QString>& value)
{
    return value.value_or(QStringLiteral("<none>"));
}

BackendMigrationDeviceOverview device(const QString& fingerprint, bool current)
{
    BackendMigrationDeviceOverview entry;
    entry.deviceFingerprint = fingerprint;
    entry.currentDevice = current;
    return entry;
}

QStringList fingerprintsOf(const QList<BackendMigrationDeviceOverview>& devices)
{
    QStringList fingerprints;
    for (const BackendMigrationDeviceOverview& entry : devices)
        fingerprints.append(entry.deviceFingerprint);
    return fingerprints;
}

} // namespace

// Feedback, the multi-device overview and the account texts, against the loopback account service.
class AccountOverviewTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AccountFixture> m_fixture;

    AccountFixture& fixture() { return *m_fixture; }
    MainViewModel& viewModel() { return m_fixture->viewModel(); }
    LoopbackHttpServer& http() { return m_fixture->service.http(); }

    void submit(const QString& subject = QStringLiteral("Subject"),
                const QString& content = QStringLiteral("Text"))
    {
        runTask(viewModel().account().feedback().submitFeedback(FeedbackCategory::bug, subject, content));
    }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<AccountFixture>();
        QVERIFY(m_fixture->isReady());
    }
    void cleanup() { m_fixture.reset(); }

    void feedbackIsSentAndListedWithinTheDailyLimit()
    {
        fixture().service.feedback().setDailyLimit(2);
        fixture().start();
        QVERIFY(fixture().signIn());
        QCOMPARE(viewModel().accountState().feedbackDashboard()->remainingToday, 2);
        // A token about to expire is renewed before the item is sent, and the item goes with it.
        fixture().now = viewModel().accountState().backendSession()->accessTokenExpiresAt.addSecs(-30);
        const QString oldToken = viewModel().accountState().backendSession()->accessToken;

        submit(QStringLiteral("\n  Slow scan \n"), QStringLiteral("\n\nDetails.\n"));
        QCOMPARE(text(statusLine(viewModel())),
                 QStringLiteral("Feedback sent. You can submit 1 more today."));
        QCOMPARE(fixture().requestsTo(kRefreshPath), 1);
        QVERIFY(viewModel().accountState().backendSession()->accessToken != oldToken);
        const LoopbackRequest sent = http().requestsTo(kFeedbackPath).constLast();
        QCOMPARE(sent.header("Authorization"),
                 "Bearer " + viewModel().accountState().backendSession()->accessToken.toUtf8());
        QCOMPARE(sent.jsonBody().value("subject").toString(), QStringLiteral("Slow scan"));
        QCOMPARE(sent.jsonBody().value("content").toString(), QStringLiteral("Details."));

        submit();
        QCOMPARE(text(statusLine(viewModel())),
                 QStringLiteral("Feedback sent. You can submit 0 more today."));
        // The limit is the service's: the third item is sent and refused.
        submit();
        QCOMPARE(text(errorLine(viewModel())), QStringLiteral("Daily feedback limit reached."));
        QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Failed to send feedback."));
        QCOMPARE(viewModel().accountState().feedbackDashboard()->items.size(), 2);
        QVERIFY(viewModel().accountState().backendSession());

        runTask(viewModel().account().feedback().refreshFeedbackDashboard(true));
        QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Feedback refreshed."));
        QVERIFY(!errorLine(viewModel()));
        QCOMPARE(viewModel().accountState().feedbackDashboard()->items.size(), 2);
        QCOMPARE(viewModel().accountState().feedbackDashboard()->items.first().subject,
                 QStringLiteral("Subject"));
        QVERIFY(!viewModel().accountState().isSubmittingFeedback());
        QVERIFY(!viewModel().accountState().isRefreshingFeedbackDashboard());
    }

    void feedbackNeedsItsFieldsAndASession_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("status");
        QTest::newRow("blank subject, signed out") << false << "   "
                                                   << "Enter both a subject and feedback details.";
        QTest::newRow("blank subject, signed in") << true << " \n"
                                                  << "Enter both a subject and feedback details.";
        QTest::newRow("signed out") << false << "Subject"
                                    << "Sign in before sending feedback.";
    }
    void feedbackNeedsItsFieldsAndASession()
    {
        QFETCH(bool, signedIn);
        QFETCH(QString, subject);
        fixture().start();
        if (signedIn)
            QVERIFY(fixture().signIn());
        http().clearRequests();
        submit(subject);
        QTEST(text(statusLine(viewModel())), "status");
        QCOMPARE(http().requests().size(), 0);
        QVERIFY(!viewModel().accountState().isSubmittingFeedback());
    }

    void aRefreshWithoutASessionClearsTheDashboard_data()
    {
        QTest::addColumn<bool>("userInitiated");
        QTest::addColumn<QString>("status");
        QTest::newRow("user-started") << true << "Sign in before viewing feedback.";
        QTest::newRow("quiet") << false << "<none>";
    }
    void aRefreshWithoutASessionClearsTheDashboard()
    {
        QFETCH(bool, userInitiated);
        fixture().start();
        ViewModelInternals::context(viewModel())
            .accountState()
            .setFeedbackDashboard(BackendFeedbackDashboard{});
        runTask(viewModel().account().feedback().refreshFeedbackDashboard(userInitiated));
        QVERIFY(!viewModel().accountState().feedbackDashboard());
        QTEST(text(statusLine(viewModel())), "status");
        QVERIFY(!viewModel().accountState().isRefreshingFeedbackDashboard());
    }

    void aQuietFailureOnlyFillsAnEmptyStatusLine_data()
    {
        QTest::addColumn<std::optional<QString>>("statusBefore");
        QTest::addColumn<QString>("statusAfter");
        QTest::newRow("empty status line") << std::optional<QString>() << "Failed to load feedback.";
        QTest::newRow("status line in use") << std::optional<QString>("Busy.") << "Busy.";
    }
    void aQuietFailureOnlyFillsAnEmptyStatusLine()
    {
        QFETCH(std::optional<QString>, statusBefore);
        fixture().start();
        QVERIFY(fixture().signIn());
        const std::optional<BackendFeedbackDashboard> dashboard =
            viewModel().accountState().feedbackDashboard();
        ViewModelInternals::context(viewModel())
            .accountState()
            .setBackendStatusMessage(statusBefore ? std::optional(BilingualText::same(*statusBefore))
                                                  : std::nullopt);
        ViewModelInternals::context(viewModel())
            .activity()
            .setErrorMessage(BilingualText::same(QStringLiteral("older")));
        http().answerNext(kFeedbackPath, LoopbackReply::envelope(500, QStringLiteral("INTERNAL"), "Boom."));

        runTask(viewModel().account().feedback().refreshFeedbackDashboard(false));
        QTEST(text(statusLine(viewModel())), "statusAfter");
        QCOMPARE(text(errorLine(viewModel())), QStringLiteral("older"));
        QCOMPARE(viewModel().accountState().feedbackDashboard(), dashboard);
    }

    void theOverviewOfSeveralDevices()
    {
        fixture().start();
        QVERIFY(fixture().signIn());
        const QString thisDevice = AccountFixture::thisDevice();
        fixture().storeCloudSnapshot(thisDevice, {fixture().mapping("A"), fixture().mapping("B")});
        fixture().storeCloudSnapshot(QStringLiteral("device-b"), {fixture().mapping("A")},
                                     {fixture().task("A")});
        fixture().service.migrations().noteDevice(AccountFixture::email, QStringLiteral("device-c"));

        runTask(viewModel().account().overview().refreshMigrationOverview(true));
        QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Multi-device migration overview refreshed."));
        QCOMPARE(viewModel().accountState().currentMigrationDeviceFingerprint(), std::optional(thisDevice));
        QCOMPARE(viewModel().account().texts().currentMigrationOverviewDevice()->deviceFingerprint,
                 thisDevice);
        QCOMPARE(viewModel().account().texts().currentMigrationOverviewDevice()->mappingCount, 2);
        QCOMPARE(fingerprintsOf(viewModel().account().texts().otherMigrationOverviewDevices()),
                 (QStringList{"device-b", "device-c"}));
        QCOMPARE(
            viewModel().account().texts().migrationOverviewSummary(),
            QStringLiteral("This account currently has 3 devices, 3 migrated items, and 1 history entries."));
        QVERIFY(text(viewModel().account().texts().migrationOverviewTimestampSummary())
                    .startsWith("Account-wide latest activity: "));
        QCOMPARE(viewModel().accountState().migrationAccountOverview()->conflicts.size(), 1);
        QVERIFY(!viewModel().accountState().isRefreshingMigrationOverview());

        runTask(viewModel().account().auth().signOutFromBackend());
        QCOMPARE(viewModel().account().texts().migrationOverviewSummary(),
                 QStringLiteral("The account-wide multi-device overview has not been loaded yet."));
        QVERIFY(!viewModel().account().texts().migrationOverviewTimestampSummary());
        runTask(viewModel().account().overview().refreshMigrationOverview(true));
        QCOMPARE(text(statusLine(viewModel())),
                 QStringLiteral("Sign in before viewing the multi-device migration overview."));
    }

    void theDevicesSplitIntoThisOneAndTheOthers()
    {
        fixture().start();
        BackendMigrationOverview overview;
        overview.devices = {device("a", false), device("b", true), device("c", true), device("d", false)};
        ViewModelInternals::context(viewModel()).accountState().setMigrationAccountOverview(overview);
        QCOMPARE(viewModel().account().texts().currentMigrationOverviewDevice()->deviceFingerprint,
                 QStringLiteral("b"));
        QCOMPARE(fingerprintsOf(viewModel().account().texts().otherMigrationOverviewDevices()),
                 (QStringList{"a", "d"}));

        overview.devices = {device("a", false), device("d", false)};
        ViewModelInternals::context(viewModel()).accountState().setMigrationAccountOverview(overview);
        QVERIFY(!viewModel().account().texts().currentMigrationOverviewDevice());
        QCOMPARE(fingerprintsOf(viewModel().account().texts().otherMigrationOverviewDevices()),
                 (QStringList{"a", "d"}));
    }

    void maskedDeviceFingerprint_data()
    {
        QTest::addColumn<bool>("privacy");
        QTest::addColumn<QString>("fingerprint");
        QTest::addColumn<QString>("shown");
        QTest::newRow("uuid") << false << "0a1b2c3d-4e5f-4a6b-9c7d-8e9fa0b1c2d3"
                              << "0a1b...c2d3";
        QTest::newRow("ten characters") << false << " abcdefghij "
                                        << "abcdefghij";
        QTest::newRow("eleven characters") << false << "abcdefghijk"
                                           << "abcd...hijk";
        QTest::newRow("blank") << false << "  "
                               << "";
        QTest::newRow("private uuid") << true << "0a1b2c3d-4e5f-4a6b-9c7d-8e9fa0b1c2d3"
                                      << "demo-c2d3";
        QTest::newRow("private short") << true << "abc"
                                       << "demo-abc";
        QTest::newRow("private blank") << true << " "
                                       << "Masked Device";
    }
    void maskedDeviceFingerprint()
    {
        QFETCH(bool, privacy);
        QFETCH(QString, fingerprint);
        fixture().start([privacy](AppConfig& config) { config.presentationPrivacyEnabled = privacy; });
        QTEST(viewModel().account().texts().maskedDeviceFingerprint(fingerprint), "shown");
    }

    void accountTextsInTheThreeLanguages_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QStringList>("signedOut");
        QTest::addColumn<QStringList>("signedIn");
        QTest::newRow("chinese") << UILanguage::chinese
                                 << QStringList{"未登录", "当前读取游客本地历史。", "已迁移 0 项，历史 0 条",
                                                "当前还没有拉取账号级多设备总览。"}
                                 << QStringList{"anna@example.com",
                                                "当前读取 anna@example.com 在本机的独立迁移历史。",
                                                "已迁移 1 项，历史 0 条",
                                                "当前账号共 1 台设备，已迁移 1 项，历史 0 条。"};
        QTest::newRow("english")
            << UILanguage::english
            << QStringList{"Signed out", "Reading guest-local history.",
                           "0 migrated items, 0 history entries",
                           "The account-wide multi-device overview has not been loaded yet."}
            << QStringList{"anna@example.com",
                           "Reading the device-local migration history for anna@example.com.",
                           "1 migrated items, 0 history entries",
                           "This account currently has 1 devices, 1 migrated items, and 0 "
                           "history entries."};
        QTest::newRow("bilingual")
            << UILanguage::bilingual
            << QStringList{"未登录 Signed out", "当前读取游客本地历史。 Reading guest-local history.",
                           "已迁移 0 项，历史 0 条 0 migrated items, 0 history entries",
                           "当前还没有拉取账号级多设备总览。 The account-wide multi-device overview has not "
                           "been "
                           "loaded yet."}
            << QStringList{
                   "anna@example.com",
                   "当前读取 anna@example.com 在本机的独立迁移历史。 Reading the device-local migration "
                   "history for anna@example.com.",
                   "已迁移 1 项，历史 0 条 1 migrated items, 0 history entries",
                   "当前账号共 1 台设备，已迁移 1 项，历史 0 条。 This account currently has 1 devices, 1 "
                   "migrated items, and 0 history entries."};
    }
    void accountTextsInTheThreeLanguages()
    {
        QFETCH(UILanguage, language);
        const auto texts = [this] {
            return QStringList{viewModel().account().texts().backendAccountSummary(),
                               viewModel().account().texts().migrationSyncScopeSummary(),
                               viewModel().account().texts().migrationSyncSnapshotSummary(),
                               viewModel().account().texts().migrationOverviewSummary()};
        };
        fixture().storeCloudSnapshot(AccountFixture::thisDevice(), {fixture().mapping("A")});
        fixture().start([language](AppConfig& config) { config.uiLanguage = language; });
        QTEST(texts(), "signedOut");
        QVERIFY(!viewModel().account().texts().backendAccountBadgeText());
        QVERIFY(!viewModel().account().texts().migrationSyncTimestampSummary());

        QVERIFY(fixture().signIn()); // restores the one mapping of the cloud
        QTEST(texts(), "signedIn");
        QCOMPARE(viewModel().account().texts().backendAccountBadgeText(),
                 std::optional<QString>("anna@example.com"));
        const QString date =
            viewModel().presentation().formatDate(*viewModel().accountState().lastMigrationSyncAt());
        const QString lastSync = language == UILanguage::chinese ? "最近同步：" + date
                                 : language == UILanguage::english
                                     ? "Last sync: " + date
                                     : "最近同步：" + date + " Last sync: " + date;
        QCOMPARE(viewModel().account().texts().migrationSyncTimestampSummary(), std::optional(lastSync));

        viewModel().settings().setPresentationPrivacyEnabled(true);
        QCOMPARE(viewModel().account().texts().backendAccountSummary(), QStringLiteral("an***@e***.com"));
    }
};

QTEST_GUILESS_MAIN(AccountOverviewTest)
#include "tst_accountoverview.moc"
