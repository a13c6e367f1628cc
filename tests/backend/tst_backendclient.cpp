#include "BackendTestSupport.h"
#include "backend/BackendAPIClient.h"
#include "backend/PayloadFields.h"
#include "model/JsonFields.h"
#include "support/LoopbackAccountService.h"

#include <QTcpServer>
#include <QtTest>

using namespace orvalink;
using namespace orvalink::test;
using namespace std::chrono_literals;

namespace {

// A payload with one required text and one optional date, to drive the envelope and date rules.
struct Probe {
    QString name;
    std::optional<QDateTime> when;

    static Probe fromServiceJson(const QJsonValue& data, const ServiceDateReader& dates)
    {
        const QJsonObject object = payload::asObject(data);
        return Probe{json::requireString(object, "name"), dates.optional(object, "when")};
    }
};

const QString kProbePath = QStringLiteral("/api/v1/me/probe");

QByteArray probeEnvelope(const QByteArray& name)
{
    return R"({"code":"OK","msg":"","data":{"name":")" + name + R"("}})";
}

} // namespace

Q_DECLARE_METATYPE(ClientError::Kind)

class BackendClientTest : public QObject {
    Q_OBJECT

private:
    LoopbackAccountService m_service;
    std::unique_ptr<QNetworkAccessManager> m_network = loopbackNetwork();

    BackendAPIClient client(std::chrono::milliseconds timeout = 5s) const
    {
        return BackendAPIClient(m_network.get(), timeout, QTimeZone(8 * 3600));
    }

    QCoro::Task<Probe> probe(const BackendAPIClient& via, QString baseURL, qint64 limit)
    {
        co_return co_await via.send<Probe>(std::move(baseURL), kProbePath, QStringLiteral("GET"),
                                           std::nullopt, QStringLiteral("token"), limit);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_service.start()); }

    void cleanup()
    {
        QCOMPARE(wireRuleViolation(m_service.http().requests()), QString());
        m_service.http().reset();
    }

    void requestHeaders_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<bool>("withBody");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QByteArray>("authorization");
        QTest::newRow("GET without token") << "GET" << false << QString() << QByteArray();
        QTest::newRow("POST with body") << "POST" << true << "abc" << QByteArray("Bearer abc");
        QTest::newRow("POST without body") << "POST" << false << "abc" << QByteArray("Bearer abc");
        QTest::newRow("empty token") << "GET" << false << "" << QByteArray();
        QTest::newRow("token kept untrimmed") << "GET" << false << "a  b" << QByteArray("Bearer a  b");
    }

    void requestHeaders()
    {
        QFETCH(QString, method);
        QFETCH(bool, withBody);
        QFETCH(QString, token);
        QFETCH(QByteArray, authorization);
        m_service.http().answerNext(kProbePath, LoopbackReply::raw(200, probeEnvelope("x")));
        std::optional<QJsonObject> body;
        if (withBody)
            body = QJsonObject{{QStringLiteral("key"), QStringLiteral("value")}};
        const BackendAPIClient via = client();
        const Probe result =
            runTask(via.send<Probe>(m_service.baseURL(), kProbePath, method, body,
                                    token.isNull() ? std::nullopt : std::optional<QString>(token)));
        QCOMPARE(result.name, QStringLiteral("x"));
        const LoopbackRequest request = m_service.http().requests().constLast();
        QCOMPARE(request.method, method.toLatin1());
        QCOMPARE(request.header("Accept"), QByteArray("application/json"));
        QCOMPARE(request.hasHeader("Content-Type"), withBody);
        QCOMPARE(request.jsonBody(), body.value_or(QJsonObject()));
        QCOMPARE(request.hasHeader("Authorization"), !authorization.isEmpty());
        QCOMPARE(request.header("Authorization"), authorization);
    }

    void baseURLIsTrimmedAndLosesItsPath()
    {
        m_service.http().answerNext(kProbePath, LoopbackReply::raw(200, probeEnvelope("x")));
        const BackendAPIClient via = client();
        runTask(probe(via, QStringLiteral("  ") + m_service.baseURL() + QStringLiteral("/prefix/\n"),
                      BackendAPIClient::kDefaultReplyLimit));
        QCOMPARE(m_service.http().requests().size(), 1);
        QCOMPARE(m_service.http().requests().constFirst().target, kProbePath.toLatin1());
    }

    void baseURLRules_data()
    {
        QTest::addColumn<QString>("baseURL");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blank") << " \n\t" << false;
        QTest::newRow("no scheme") << "127.0.0.1:PORT" << false;
        QTest::newRow("ftp") << "ftp://127.0.0.1:PORT" << false;
        QTest::newRow("file") << "file:///tmp/service" << false;
        QTest::newRow("plain http to a public host") << "http://example.com:PORT" << false;
        QTest::newRow("plain http to a private address") << "http://192.168.1.10:PORT" << false;
        QTest::newRow("no host") << "https://" << false;
        QTest::newRow("malformed") << "http://exa mple.com" << false;
        QTest::newRow("loopback address") << "http://127.0.0.1:PORT" << true;
        QTest::newRow("upper-case scheme") << "HTTP://127.0.0.1:PORT" << true;
        QTest::newRow("localhost") << "http://localhost:PORT" << true;
    }

    void baseURLRules()
    {
        QFETCH(QString, baseURL);
        QFETCH(bool, accepted);
        baseURL.replace(QStringLiteral("PORT"), QString::number(m_service.http().port()));
        m_service.http().answerNext(kProbePath, LoopbackReply::raw(200, probeEnvelope("x")));
        const BackendAPIClient via = client();
        const auto error = clientErrorOf(probe(via, baseURL, BackendAPIClient::kDefaultReplyLimit));
        QCOMPARE(m_service.http().requests().size(), accepted ? 1 : 0);
        if (accepted) {
            QVERIFY(!error);
            return;
        }
        QVERIFY(error);
        QCOMPARE(error->kind(), ClientError::Kind::invalidBaseURL);
        QCOMPARE(error->errorDescription(), QStringLiteral("Backend base URL is invalid."));
    }

    void envelope_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<ClientError::Kind>("kind");
        QTest::addColumn<QString>("description");
        const auto none = ClientError::Kind::transportFailure;
        const QByteArray okTyped = probeEnvelope("x");
        QTest::newRow("OK under 500") << 500 << okTyped << true << true << none << "";
        QTest::newRow("OK under 401, empty payload")
            << 401 << QByteArray(R"({"code":"OK","msg":""})") << false << true << none << "";
        QTest::newRow("refusal under 403")
            << 403 << QByteArray(R"({"code":"DENIED","msg":"No."})") << true << false
            << ClientError::Kind::unauthorized << "Backend authorization failed.";
        QTest::newRow("refusal under 200") << 200 << QByteArray(R"({"code":"DENIED","msg":"No."})") << true
                                           << false << ClientError::Kind::server << "No.";
        QTest::newRow("refusal under 404") << 404 << QByteArray(R"({"code":"NOT_FOUND","msg":"Gone."})")
                                           << false << false << ClientError::Kind::server << "Gone.";
        QTest::newRow("lower-case ok") << 200 << QByteArray(R"({"code":"ok","msg":"fine"})") << false << false
                                       << ClientError::Kind::server << "fine";
        QTest::newRow("numeric code") << 200 << QByteArray(R"({"code":0,"msg":"fine"})") << false << false
                                      << ClientError::Kind::invalidResponse << "Backend response is invalid.";
        QTest::newRow("numeric code under 401")
            << 401 << QByteArray(R"({"code":200,"msg":"fine"})") << false << false
            << ClientError::Kind::unauthorized << "Backend authorization failed.";
        QTest::newRow("missing msg") << 200 << QByteArray(R"({"code":"OK","data":{"name":"x"}})") << true
                                     << false << ClientError::Kind::invalidResponse
                                     << "Backend response is invalid.";
        QTest::newRow("null data, typed")
            << 200 << QByteArray(R"({"code":"OK","msg":"","data":null})") << true << false
            << ClientError::Kind::missingPayload << "Backend returned an empty payload.";
        QTest::newRow("absent data, typed")
            << 200 << QByteArray(R"({"code":"OK","msg":""})") << true << false
            << ClientError::Kind::missingPayload << "Backend returned an empty payload.";
        QTest::newRow("null data, empty payload")
            << 200 << QByteArray(R"({"code":"OK","msg":"","data":null})") << false << true << none << "";
        QTest::newRow("any data, empty payload")
            << 200 << QByteArray(R"({"code":"OK","msg":"","data":[1,"two",false]})") << false << true << none
            << "";
        QTest::newRow("data of the wrong shape")
            << 200 << QByteArray(R"({"code":"OK","msg":"","data":"text"})") << true << false
            << ClientError::Kind::invalidResponse << "Backend response is invalid.";
        QTest::newRow("field of the wrong type")
            << 200 << QByteArray(R"({"code":"OK","msg":"","data":{"name":7}})") << true << false
            << ClientError::Kind::invalidResponse << "Backend response is invalid.";
        QTest::newRow("HTML under 502")
            << 502 << QByteArray("<html><body>Bad Gateway</body></html>") << false << false
            << ClientError::Kind::invalidResponse << "Backend response is invalid.";
        QTest::newRow("empty body under 403")
            << 403 << QByteArray() << false << false << ClientError::Kind::unauthorized
            << "Backend authorization failed.";
    }

    void envelope()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, typed);
        QFETCH(bool, succeeds);
        QFETCH(ClientError::Kind, kind);
        QFETCH(QString, description);
        m_service.http().answerNext(kProbePath, LoopbackReply::raw(status, body));
        const BackendAPIClient via = client();
        std::optional<ClientError> error;
        if (typed) {
            error = clientErrorOf(probe(via, m_service.baseURL(), BackendAPIClient::kDefaultReplyLimit));
        } else {
            error = clientErrorOf(via.send<EmptyPayload>(m_service.baseURL(), kProbePath,
                                                         QStringLiteral("POST"), std::nullopt, std::nullopt));
        }
        QCOMPARE(error.has_value(), !succeeds);
        if (error) {
            QCOMPARE(error->kind(), kind);
            QCOMPARE(error->errorDescription(), description);
        }
    }

    void serverErrorKeepsItsCode()
    {
        m_service.http().answerNext(kProbePath,
                                    LoopbackReply::envelope(400, "AUTH_SESSION_REVOKED", "Signed out."));
        const BackendAPIClient via = client();
        const auto error =
            clientErrorOf(probe(via, m_service.baseURL(), BackendAPIClient::kDefaultReplyLimit));
        QVERIFY(error);
        QCOMPARE(error->code(), QStringLiteral("AUTH_SESSION_REVOKED"));
        QCOMPARE(error->errorDescription(), QStringLiteral("Signed out."));
    }

    void dates_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("expected"); // ISO text in UTC with milliseconds; "none"; or "" to fail
        QTest::newRow("fraction and Z")
            << QByteArray(R"("2025-03-01T08:30:00.250Z")") << "2025-03-01T08:30:00.250Z";
        QTest::newRow("whole seconds and Z")
            << QByteArray(R"("2025-03-01T08:30:00Z")") << "2025-03-01T08:30:00.000Z";
        QTest::newRow("positive offset")
            << QByteArray(R"("2025-03-01T16:30:00+08:00")") << "2025-03-01T08:30:00.000Z";
        QTest::newRow("negative offset")
            << QByteArray(R"("2025-03-01T03:30:00-05:00")") << "2025-03-01T08:30:00.000Z";
        QTest::newRow("local with milliseconds")
            << QByteArray(R"("2025-03-01T16:30:00.250")") << "2025-03-01T08:30:00.250Z";
        QTest::newRow("local") << QByteArray(R"("2025-03-01T16:30:00")") << "2025-03-01T08:30:00.000Z";
        QTest::newRow("whole number") << QByteArray("1740817800") << "2025-03-01T08:30:00.000Z";
        QTest::newRow("number with a fraction") << QByteArray("1740817800.25") << "2025-03-01T08:30:00.250Z";
        QTest::newRow("null") << QByteArray("null") << "none";
        QTest::newRow("digits as a string") << QByteArray(R"("1740817800")") << "";
        QTest::newRow("slashes") << QByteArray(R"("2025/03/01 08:30:00")") << "";
        QTest::newRow("date only") << QByteArray(R"("2025-03-01")") << "";
        QTest::newRow("no such month") << QByteArray(R"("2025-13-01T08:30:00Z")") << "";
        QTest::newRow("offset out of range") << QByteArray(R"("2025-03-01T08:30:00+24:00")") << "";
        QTest::newRow("boolean") << QByteArray("true") << "";
        QTest::newRow("beyond 1e11 seconds") << QByteArray("1e12") << "";
        QTest::newRow("far before 1970") << QByteArray("-1e12") << "";
        QTest::newRow("before year 1") << QByteArray("-1e11") << "";
    }

    void dates()
    {
        QFETCH(QByteArray, value);
        QFETCH(QString, expected);
        const QByteArray body = R"({"code":"OK","msg":"","data":{"name":"x","when":)" + value + "}}";
        for (const int status : {200, 401}) {
            m_service.http().answerNext(kProbePath, LoopbackReply::raw(status, body));
            const BackendAPIClient via = client();
            if (expected.isEmpty()) {
                const auto error =
                    clientErrorOf(probe(via, m_service.baseURL(), BackendAPIClient::kDefaultReplyLimit));
                QVERIFY(error);
                QCOMPARE(error->kind(), status == 401 ? ClientError::Kind::unauthorized
                                                      : ClientError::Kind::invalidResponse);
                continue;
            }
            const Probe result =
                runTask(probe(via, m_service.baseURL(), BackendAPIClient::kDefaultReplyLimit));
            if (expected == QLatin1String("none"))
                QVERIFY(!result.when);
            else
                QCOMPARE(result.when->toUTC().toString(Qt::ISODateWithMs), expected);
        }
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
        m_service.http().answerNext(kProbePath, slow);
        const BackendAPIClient via = client(300ms);
        const auto error =
            clientErrorOf(probe(via, m_service.baseURL(), BackendAPIClient::kDefaultReplyLimit));
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
        m_service.http().answerNext(kProbePath, big);
        const BackendAPIClient via = client();
        const auto error = clientErrorOf(probe(via, m_service.baseURL(), limit));
        QCOMPARE(!error, accepted);
        if (error)
            QCOMPARE(error->kind(), ClientError::Kind::invalidResponse);
    }

    void redirectWithinTheOriginIsFollowed()
    {
        const QString target = QStringLiteral("/api/v1/me/moved");
        m_service.http().answerNext(kProbePath,
                                    LoopbackReply::redirect(307, (m_service.baseURL() + target).toLatin1()));
        m_service.http().answerNext(target, LoopbackReply::raw(200, probeEnvelope("moved")));
        const BackendAPIClient via = client();
        const Probe result = runTask(probe(via, m_service.baseURL(), BackendAPIClient::kDefaultReplyLimit));
        QCOMPARE(result.name, QStringLiteral("moved"));
        QCOMPARE(m_service.http().requestsTo(target).size(), 1);
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
            sameHostOtherName ? QStringLiteral("http://localhost:%1/steal").arg(m_service.http().port())
                              : other.baseURL() + QStringLiteral("/steal");
        m_service.http().answerNext(kProbePath, LoopbackReply::redirect(302, location.toLatin1()));
        const BackendAPIClient via = client();
        const auto error =
            clientErrorOf(probe(via, m_service.baseURL(), BackendAPIClient::kDefaultReplyLimit));
        QVERIFY(error);
        QCOMPARE(error->kind(), ClientError::Kind::transportFailure);
        QVERIFY(!error->errorDescription().isEmpty());
        QVERIFY(other.requests().isEmpty());
        QVERIFY(m_service.http().requestsTo(QStringLiteral("/steal")).isEmpty());
    }

    void refusedConnectionIsATransportFailure()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        const BackendAPIClient via = client();
        const auto error = clientErrorOf(probe(via, QStringLiteral("http://127.0.0.1:%1").arg(port),
                                               BackendAPIClient::kDefaultReplyLimit));
        QVERIFY(error);
        QCOMPARE(error->kind(), ClientError::Kind::transportFailure);
        QVERIFY(!error->errorDescription().isEmpty());
    }

    void queryValuesReachTheServiceWhole()
    {
        const QString value = QStringLiteral("a b&c=d+e/f?g#h%i");
        m_service.http().answerNext(QStringLiteral("/api/v1/me/query"),
                                    LoopbackReply::raw(200, probeEnvelope("q")));
        const BackendAPIClient via = client();
        runTask(via.send<Probe>(m_service.baseURL(),
                                QStringLiteral("/api/v1/me/query?v=") +
                                    BackendAPIClient::encodedQueryValue(value),
                                QStringLiteral("GET"), std::nullopt, std::nullopt));
        const LoopbackRequest request = m_service.http().requests().constLast();
        QCOMPARE(request.query.queryItems().size(), 1);
        QCOMPARE(request.queryValue(QStringLiteral("v")), value);
        QVERIFY(request.target.contains("a%20b%26c%3Dd%2Be/f?g%23h%25i"));
    }
};

QTEST_GUILESS_MAIN(BackendClientTest)
#include "tst_backendclient.moc"
