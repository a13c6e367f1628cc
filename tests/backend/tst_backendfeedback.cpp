#include "BackendTestSupport.h"
#include "backend/BackendAuthService.h"
#include "backend/BackendFeedbackService.h"
#include "backend/ClientIdentity.h"
#include "model/AppPaths.h"
#include "support/LoopbackAccountService.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QJsonArray>
#include <QtTest>

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

class BackendFeedbackTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<LoopbackAccountService> m_service;
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::unique_ptr<BackendFeedbackService> m_feedback;
    QString m_token;

    QString base() const { return m_service->baseURL(); }
    static DeviceIdentityStore deviceStore()
    {
        return DeviceIdentityStore(AppPaths::applicationSupportFile(QStringLiteral("device_id.txt")));
    }

    BackendFeedbackDashboard send(FeedbackCategory category,
                                  const QString& subject = QStringLiteral("Subject"))
    {
        return runTask(
            m_feedback->createFeedback(base(), m_token, category, subject, QStringLiteral("Text")));
    }

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<TestHome>();
        m_service = std::make_unique<LoopbackAccountService>();
        QVERIFY(m_service->start());
        m_service->addUser(QStringLiteral("anna@example.com"), QStringLiteral("secret"));
        m_network = loopbackNetwork();
        BackendAuthService auth(
            BackendAPIClient(m_network.get()),
            AuthSessionStore(AppPaths::applicationSupportFile(QStringLiteral("auth_session.json"))),
            deviceStore());
        m_token =
            runTask(auth.login(base(), "anna@example.com", "secret", std::nullopt, std::nullopt)).accessToken;
        m_feedback =
            std::make_unique<BackendFeedbackService>(BackendAPIClient(m_network.get()), deviceStore());
        m_service->http().clearRequests();
    }

    void cleanup()
    {
        QCOMPARE(wireRuleViolation(m_service->http().requests()), QString());
        m_feedback.reset();
        m_network.reset();
        m_service.reset();
        m_home.reset();
    }

    void categoriesKeepTheirOrderAndTexts()
    {
        QStringList texts;
        for (FeedbackCategory category : kAllFeedbackCategories) {
            texts.append(toText(category));
            QCOMPARE(feedbackCategoryFromText(toText(category)), std::optional<FeedbackCategory>(category));
        }
        QCOMPARE(texts, (QStringList{"suggestion", "bug", "migration", "payment", "other"}));
        QCOMPARE(feedbackCategoryFromText(QStringLiteral("Bug")), std::nullopt);
    }

    void createFeedbackSendsTheItemAndReturnsTheDashboard()
    {
        const BackendFeedbackDashboard result = runTask(
            m_feedback->createFeedback(base(), m_token, FeedbackCategory::payment, "  Refund ", " Twice\n"));
        const LoopbackRequest request = m_service->http().requests().constLast();
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
        m_service->feedback().setDailyLimit(2);
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
        TestTree tree(m_home->appSupport());
        tree.file(QStringLiteral("blocker"), "file");
        BackendFeedbackService feedback(
            BackendAPIClient(m_network.get()),
            DeviceIdentityStore(tree.path(QStringLiteral("blocker/device_id.txt"))));
        const BackendFeedbackDashboard result = runTask(
            feedback.createFeedback(base(), m_token, FeedbackCategory::suggestion, QStringLiteral("S"), "C"));
        QCOMPARE(result.items.size(), 1);
        QVERIFY(!m_service->http().requests().constLast().jsonBody().contains("deviceFingerprint"));
        QVERIFY(!result.items.constFirst().deviceFingerprint);
    }

    void administratorNoteIsShown()
    {
        const QString id = send(FeedbackCategory::migration).items.constFirst().id;
        QVERIFY(m_service->feedback().resolve(id, QStringLiteral("resolved"), QStringLiteral("Fixed in 1.1."),
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
        m_service->http().answerNext(kFeedbackPath, LoopbackReply::ok(data));
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
        QVERIFY(!m_service->http().requests().constFirst().hasHeader("Authorization"));
    }
};

QTEST_GUILESS_MAIN(BackendFeedbackTest)
#include "tst_backendfeedback.moc"
