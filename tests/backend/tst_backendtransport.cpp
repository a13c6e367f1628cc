#include "ProbeFixture.h"
#include "backend/ServiceRedirect.h"

#include <QTcpServer>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;
using namespace std::chrono_literals;

// Timeouts, reply sizes, redirects and connection failures of the service client.
class BackendTransportTest : public QObject {
    Q_OBJECT

    // A fresh service and access manager per test: a request an earlier test abandoned (a timeout,
    // an oversized reply) may still arrive late and must not take the next test's canned reply.
    std::unique_ptr<ProbeFixture> m_probe;

private Q_SLOTS:
    void init()
    {
        m_probe = std::make_unique<ProbeFixture>();
        QVERIFY(m_probe->service.start());
    }

    void cleanup()
    {
        QCOMPARE(wireRuleViolation(m_probe->service.http().requests()), QString());
        m_probe.reset();
    }

    void wholeRequestTimeout_data()
    {
        QTest::addColumn<bool>("trickle");
        QTest::newRow("silent server") << false;
        QTest::newRow("body trickling in") << true;
    }

    void wholeRequestTimeout()
    {
        QFETCH(bool, trickle);
        LoopbackReply slow = LoopbackReply::raw(200, probeEnvelope(QByteArray(60, 'x')));
        if (trickle)
            slow.trickleInterval = 20ms;
        else
            slow.delay = 10s;
        m_probe->service.http().answerNext(kProbePath, slow);
        const BackendAPIClient via = m_probe->client(300ms);
        const auto error = clientErrorOf(ProbeFixture::probe(via, m_probe->service.baseURL()));
        QVERIFY(error);
        QCOMPARE(error->kind(), ClientError::Kind::transportFailure);
        QCOMPARE(error->errorDescription(), QStringLiteral("The request timed out."));
    }

    void replySizeLimit_data()
    {
        QTest::addColumn<qint64>("nameSize");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<bool>("closeDelimited");
        QTest::addColumn<bool>("accepted");
        const qint64 mebibyte = 1 << 20;
        QTest::newRow("just under 1 MiB")
            << mebibyte - 100 << BackendAPIClient::kDefaultReplyLimit << false << true;
        QTest::newRow("over 1 MiB") << mebibyte << BackendAPIClient::kDefaultReplyLimit << false << false;
        QTest::newRow("over 1 MiB without length")
            << mebibyte << BackendAPIClient::kDefaultReplyLimit << true << false;
        QTest::newRow("large reply allowed")
            << 3 * mebibyte << BackendAPIClient::kLargeReplyLimit << false << true;
        QTest::newRow("over 16 MiB") << 16 * mebibyte << BackendAPIClient::kLargeReplyLimit << false << false;
        QTest::newRow("over 16 MiB without length")
            << 16 * mebibyte << BackendAPIClient::kLargeReplyLimit << true << false;
    }

    void replySizeLimit()
    {
        QFETCH(qint64, nameSize);
        QFETCH(qint64, limit);
        QFETCH(bool, closeDelimited);
        QFETCH(bool, accepted);
        LoopbackReply big = LoopbackReply::raw(200, probeEnvelope(QByteArray(nameSize, 'n')));
        big.closeDelimited = closeDelimited;
        m_probe->service.http().answerNext(kProbePath, big);
        const BackendAPIClient via = m_probe->client();
        const auto error = clientErrorOf(ProbeFixture::probe(via, m_probe->service.baseURL(), limit));
        QCOMPARE(!error, accepted);
        if (error)
            QCOMPARE(error->kind(), ClientError::Kind::invalidResponse);
    }

    void redirectWithinTheOriginIsFollowed()
    {
        const QString target = QStringLiteral("/api/v1/me/moved");
        m_probe->service.http().answerNext(
            kProbePath, LoopbackReply::redirect(307, (m_probe->service.baseURL() + target).toLatin1()));
        m_probe->service.http().answerNext(target, LoopbackReply::raw(200, probeEnvelope("moved")));
        const BackendAPIClient via = m_probe->client();
        const Probe result = runTask(ProbeFixture::probe(via, m_probe->service.baseURL()));
        QCOMPARE(result.name, QStringLiteral("moved"));
        QCOMPARE(m_probe->service.http().requestsTo(kProbePath).size(), 1);
        QCOMPARE(m_probe->service.http().requestsTo(target).size(), 1);
    }

    // Each hop is one request: a body is sent once per hop, never twice on a kept-alive connection.
    void redirectedPostsAreSentOncePerHop()
    {
        LoopbackHttpServer server([](const LoopbackRequest& request) {
            if (request.path == QLatin1String("/api/v1/me/a"))
                return LoopbackReply::redirect(307, "/api/v1/me/b?step=2");
            if (request.path == QLatin1String("/api/v1/me/b"))
                return LoopbackReply::redirect(308, "c");
            return LoopbackReply::raw(200,
                                      probeEnvelope(request.jsonBody().value("name").toString().toUtf8()));
        });
        QVERIFY(server.listen());
        const BackendAPIClient via = m_probe->client();
        constexpr int kRounds = 500;
        for (int round = 0; round < kRounds; ++round) {
            const QString name = QStringLiteral("round-%1").arg(round);
            const Probe result = runTask(via.send<Probe>(server.baseURL(), QStringLiteral("/api/v1/me/a"),
                                                         QStringLiteral("POST"), QJsonObject{{"name", name}},
                                                         QStringLiteral("token")));
            QCOMPARE(result.name, name);
            const QList<LoopbackRequest>& requests = server.requests();
            QCOMPARE(requests.size(), 3);
            const QStringList paths{QStringLiteral("/api/v1/me/a"), QStringLiteral("/api/v1/me/b"),
                                    QStringLiteral("/api/v1/me/c")};
            for (int hop = 0; hop < 3; ++hop) {
                QCOMPARE(requests[hop].path, paths[hop]);
                QCOMPARE(requests[hop].method, QByteArray("POST"));
                QCOMPARE(requests[hop].jsonBody().value("name").toString(), name);
                QCOMPARE(requests[hop].header("Authorization"), QByteArray("Bearer token"));
            }
            QCOMPARE(wireRuleViolation(requests), QString());
            server.clearRequests();
        }
    }

    void redirectMethodRules_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QByteArray>("expectedMethod");
        QTest::addColumn<bool>("bodyKept");
        for (const int status : {301, 302, 303, 307, 308}) {
            const QByteArray code = QByteArray::number(status);
            const bool keeps = status == 307 || status == 308;
            QTest::newRow(code + " GET") << status << "GET" << QByteArray("GET") << false;
            QTest::newRow(code + " POST") << status << "POST" << QByteArray(keeps ? "POST" : "GET") << keeps;
        }
    }

    void redirectMethodRules()
    {
        QFETCH(int, status);
        QFETCH(QString, method);
        QFETCH(QByteArray, expectedMethod);
        QFETCH(bool, bodyKept);
        const QString target = QStringLiteral("/api/v1/me/moved");
        m_probe->service.http().answerNext(kProbePath, LoopbackReply::redirect(status, target.toLatin1()));
        m_probe->service.http().answerNext(target, LoopbackReply::raw(200, probeEnvelope("moved")));
        const BackendAPIClient via = m_probe->client();
        std::optional<QJsonObject> body;
        if (method == QLatin1String("POST"))
            body = QJsonObject{{"note", "once"}};
        const Probe result = runTask(
            via.send<Probe>(m_probe->service.baseURL(), kProbePath, method, body, QStringLiteral("token")));
        QCOMPARE(result.name, QStringLiteral("moved"));
        const QList<LoopbackRequest> moved = m_probe->service.http().requestsTo(target);
        QCOMPARE(moved.size(), 1);
        QCOMPARE(moved[0].method, expectedMethod);
        QCOMPARE(moved[0].jsonBody().value("note").toString(), bodyKept ? QStringLiteral("once") : QString());
        QCOMPARE(moved[0].header("Authorization"), QByteArray("Bearer token"));
    }

    void aRedirectLoopEnds()
    {
        m_probe->service.http().answerNext(kProbePath, LoopbackReply::redirect(302, kProbePath.toLatin1()),
                                           100);
        const BackendAPIClient via = m_probe->client();
        const auto error = clientErrorOf(ProbeFixture::probe(via, m_probe->service.baseURL()));
        QVERIFY(error);
        QCOMPARE(error->kind(), ClientError::Kind::transportFailure);
        QCOMPARE(m_probe->service.http().requestsTo(kProbePath).size(), ServiceRedirect::kMaxHops + 1);
    }

    // A redirect status without a Location is an answer like any other, judged by its envelope.
    void aRedirectWithoutLocationIsTheAnswer()
    {
        m_probe->service.http().answerNext(kProbePath, LoopbackReply::raw(302, probeEnvelope("here")));
        const BackendAPIClient via = m_probe->client();
        QCOMPARE(runTask(ProbeFixture::probe(via, m_probe->service.baseURL())).name, QStringLiteral("here"));
        QCOMPARE(m_probe->service.http().requests().size(), 1);
    }

    void redirectToAnotherOriginIsRefused_data()
    {
        QTest::addColumn<bool>("sameHostOtherName");
        QTest::newRow("another port") << false;
        QTest::newRow("another host name") << true;
    }

    void redirectToAnotherOriginIsRefused()
    {
        QFETCH(bool, sameHostOtherName);
        LoopbackHttpServer other(
            [](const LoopbackRequest&) { return LoopbackReply::raw(200, probeEnvelope("stolen")); });
        QVERIFY(other.listen());
        const QString location =
            sameHostOtherName
                ? QStringLiteral("http://localhost:%1/steal").arg(m_probe->service.http().port())
                : other.baseURL() + QStringLiteral("/steal");
        m_probe->service.http().answerNext(kProbePath, LoopbackReply::redirect(302, location.toLatin1()));
        const BackendAPIClient via = m_probe->client();
        const auto error = clientErrorOf(ProbeFixture::probe(via, m_probe->service.baseURL()));
        QVERIFY(error);
        QCOMPARE(error->kind(), ClientError::Kind::transportFailure);
        QVERIFY(!error->errorDescription().isEmpty());
        QVERIFY(other.requests().isEmpty());
        QVERIFY(m_probe->service.http().requestsTo(QStringLiteral("/steal")).isEmpty());
    }

    void refusedConnectionIsATransportFailure()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        const BackendAPIClient via = m_probe->client();
        const auto error = clientErrorOf(ProbeFixture::probe(
            via, QStringLiteral("http://127.0.0.1:%1").arg(port), BackendAPIClient::kDefaultReplyLimit));
        QVERIFY(error);
        QCOMPARE(error->kind(), ClientError::Kind::transportFailure);
        QVERIFY(!error->errorDescription().isEmpty());
    }
};

QTEST_GUILESS_MAIN(BackendTransportTest)
#include "tst_backendtransport.moc"
