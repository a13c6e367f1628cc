#include "AuthFixture.h"
#include "backend/BackendFeedbackService.h"
#include "backend/ClientIdentity.h"
#include "support/TestTree.h"

#include <QJsonArray>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

namespace {

const QString kFeedbackPath = QStringLiteral("/api/v1/me/feedback");

QJsonObject item(const QString& category)
{
    return QJsonObject{{"id", "f-1"},    {"category", category}, {"subject", "S"},
                       {"content", "C"}, {"status", "open"},     {"source", "mac_app"}};
}

QJsonObject dashboard(const QJsonArray& items)
{
    return QJsonObject{{"dailyLimit", 5}, {"submittedToday", 1}, {"remainingToday", 4}, {"items", items}};
}

} // namespace

// Feedback submission and the dashboard.
class BackendFeedbackTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AuthFixture> m_fixture;
    std::unique_ptr<BackendFeedbackService> m_feedback;
    QString m_token;

    QString base() const { return m_fixture->base(); }
    LoopbackHttpServer& http() { return m_fixture->service.http(); }
    static DeviceIdentityStore deviceStore() { return AuthFixture::deviceStore(); }

    BackendFeedbackDashboard send(FeedbackCategory category)
    {
        return runTask(m_feedback->createFeedback(base(), m_token, category, QStringLiteral("Subject"),
                                                  QStringLiteral("Text")));
    }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<AuthFixture>();
        QVERIFY(m_fixture->isReady());
        m_token = m_fixture->signIn().accessToken;
        m_feedback = std::make_unique<BackendFeedbackService>(BackendAPIClient(m_fixture->network.get()),
                                                              deviceStore());
        http().clearRequests();
    }

    void cleanup()
    {
        QCOMPARE(wireRuleViolation(http().requests()), QString());
        m_feedback.reset();
        m_fixture.reset();
    }

    void createFeedbackSendsTheItemAndReturnsTheDashboard()
    {
        const BackendFeedbackDashboard result = runTask(
            m_feedback->createFeedback(base(), m_token, FeedbackCategory::payment, "  Refund ", " Twice\n"));
        const LoopbackRequest request = http().requests().constLast();
        QCOMPARE(request.header("Authorization"), "Bearer " + m_token.toUtf8());
        const QJsonObject expected{{"category", "payment"},
                                   {"subject", "  Refund "},
                                   {"content", " Twice\n"},
                                   {"source", "mac_app"},
                                   {"appVersion", clientidentity::appVersion()},
                                   {"deviceName", clientidentity::deviceName()},
                                   {"deviceFingerprint", deviceStore().currentFingerprint()}};
        QCOMPARE(request.jsonBody(), expected);

        QCOMPARE(result.dailyLimit, 5);
        QCOMPARE(result.submittedToday, 1);
        QCOMPARE(result.remainingToday, 4);
        QCOMPARE(result.items.size(), 1);
        const BackendFeedbackItem& sent = result.items.constFirst();
        QCOMPARE(sent.category, QStringLiteral("payment"));
        QCOMPARE(sent.subject, QStringLiteral("  Refund "));
        QCOMPARE(sent.deviceFingerprint, std::optional<QString>(deviceStore().currentFingerprint()));
        QVERIFY(sent.createdAt && !sent.resolvedAt && !sent.adminNote);

        QCOMPARE(runTask(m_feedback->fetchDashboard(base(), m_token)), result);
    }

    void dailyLimitIsTheService()
    {
        m_fixture->service.feedback().setDailyLimit(2);
        send(FeedbackCategory::bug);
        send(FeedbackCategory::other);
        const auto error = clientErrorOf(m_feedback->createFeedback(
            base(), m_token, FeedbackCategory::bug, QStringLiteral("S"), QStringLiteral("C")));
        QVERIFY(error);
        QCOMPARE(error->kind(), ClientError::Kind::server);
        QCOMPARE(error->code(), QStringLiteral("FEEDBACK_DAILY_LIMIT"));
        QCOMPARE(error->errorDescription(), QStringLiteral("Daily feedback limit reached."));
        const BackendFeedbackDashboard after = runTask(m_feedback->fetchDashboard(base(), m_token));
        QCOMPARE(after.remainingToday, 0);
        QCOMPARE(after.items.size(), 2);
    }

    void feedbackIsSentWithoutADeviceIdentity()
    {
        TestTree tree(m_fixture->home.appSupport());
        tree.file(QStringLiteral("blocker"), "file");
        BackendFeedbackService feedback(
            BackendAPIClient(m_fixture->network.get()),
            DeviceIdentityStore(tree.path(QStringLiteral("blocker/device_id.txt"))));
        const BackendFeedbackDashboard result = runTask(
            feedback.createFeedback(base(), m_token, FeedbackCategory::suggestion, QStringLiteral("S"), "C"));
        QCOMPARE(result.items.size(), 1);
        QVERIFY(!http().requests().constLast().jsonBody().contains("deviceFingerprint"));
        QVERIFY(!result.items.constFirst().deviceFingerprint);
    }

    void administratorNoteIsShown()
    {
        const QString id = send(FeedbackCategory::migration).items.constFirst().id;
        QVERIFY(m_fixture->service.feedback().resolve(id, QStringLiteral("resolved"),
                                                      QStringLiteral("Fixed in 1.1."),
                                                      QDateTime::currentDateTimeUtc()));
        const BackendFeedbackItem resolved =
            runTask(m_feedback->fetchDashboard(base(), m_token)).items.constFirst();
        QCOMPARE(resolved.status, QStringLiteral("resolved"));
        QCOMPARE(resolved.adminNote, std::optional<QString>(QStringLiteral("Fixed in 1.1.")));
        QVERIFY(resolved.resolvedAt);
    }

    void dashboardDecoding_data()
    {
        QTest::addColumn<QJsonObject>("data");
        QTest::addColumn<bool>("valid");
        QJsonObject withNulls = item("feature-request");
        withNulls.insert("adminNote", QJsonValue::Null);
        withNulls.insert("resolvedAt", QJsonValue::Null);
        QJsonObject noSource = item("bug");
        noSource.remove("source");
        QJsonObject badDate = item("bug");
        badDate.insert("createdAt", "yesterday");
        QJsonObject textLimit = dashboard({});
        textLimit.insert("dailyLimit", "5");
        QJsonObject noItems = dashboard({});
        noItems.remove("items");
        QTest::newRow("unknown category, optional keys absent or null") << dashboard({withNulls}) << true;
        QTest::newRow("item without source") << dashboard({noSource}) << false;
        QTest::newRow("item with an unreadable date") << dashboard({badDate}) << false;
        QTest::newRow("limit as text") << textLimit << false;
        QTest::newRow("no items") << noItems << false;
    }

    void dashboardDecoding()
    {
        QFETCH(QJsonObject, data);
        QFETCH(bool, valid);
        http().answerNext(kFeedbackPath, LoopbackReply::ok(data));
        try {
            const BackendFeedbackDashboard result = runTask(m_feedback->fetchDashboard(base(), m_token));
            QVERIFY(valid);
            const BackendFeedbackItem& only = result.items.constFirst();
            QCOMPARE(only.category, QStringLiteral("feature-request"));
            QVERIFY(!only.adminNote && !only.appVersion && !only.deviceName && !only.deviceFingerprint);
            QVERIFY(!only.createdAt && !only.updatedAt && !only.resolvedAt);
        } catch (const ClientError& error) {
            QVERIFY(!valid);
            QCOMPARE(error.kind(), ClientError::Kind::invalidResponse);
        }
    }

    void dashboardNeedsAValidToken()
    {
        for (const QString& token : {QString(), QStringLiteral("made-up")}) {
            const auto error = clientErrorOf(m_feedback->fetchDashboard(base(), token));
            QVERIFY(error);
            QCOMPARE(error->kind(), ClientError::Kind::unauthorized);
        }
        QVERIFY(!http().requests().constFirst().hasHeader("Authorization"));
    }
};

QTEST_GUILESS_MAIN(BackendFeedbackTest)
#include "tst_backendfeedback.moc"
