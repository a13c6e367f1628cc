#include "ProbeFixture.h"

#include <QTcpServer>
#include <QtTest>

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
        // Under load Qt's connection may send the original GET a second time on its keep-alive
        // connection before it follows the redirect; both must be redirected.
        m_probe->service.http().answerNext(
            kProbePath, LoopbackReply::redirect(307, (m_probe->service.baseURL() + target).toLatin1()), 2);
        m_probe->service.http().answerNext(target, LoopbackReply::raw(200, probeEnvelope("moved")));
        const BackendAPIClient via = m_probe->client();
        const Probe result = runTask(ProbeFixture::probe(via, m_probe->service.baseURL()));
        QCOMPARE(result.name, QStringLiteral("moved"));
        QCOMPARE(m_probe->service.http().requestsTo(target).size(), 1);
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
