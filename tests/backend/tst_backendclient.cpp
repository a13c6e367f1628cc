#include "ProbeFixture.h"

#include <QTest>

using namespace orvalink;
using namespace orvalink::test;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(ClientError::Kind)

// Headers, base URLs, envelopes and dates of the service client.
class BackendClientTest : public QObject {
    Q_OBJECT

    ProbeFixture m_probe;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_probe.service.start()); }

    void cleanup()
    {
        QCOMPARE(wireRuleViolation(m_probe.service.http().requests()), QString());
        m_probe.service.http().reset();
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
        m_probe.service.http().answerNext(kProbePath, LoopbackReply::raw(200, probeEnvelope("x")));
        std::optional<QJsonObject> body;
        if (withBody)
            body = QJsonObject{{QStringLiteral("key"), QStringLiteral("value")}};
        const BackendAPIClient via = m_probe.client();
        const Probe result =
            runTask(via.send<Probe>(m_probe.service.baseURL(), kProbePath, method, body,
                                    token.isNull() ? std::nullopt : std::optional<QString>(token)));
        QCOMPARE(result.name, QStringLiteral("x"));
        const LoopbackRequest request = m_probe.service.http().requests().constLast();
        QCOMPARE(request.method, method.toLatin1());
        QCOMPARE(request.header("Accept"), QByteArray("application/json"));
        QCOMPARE(request.hasHeader("Content-Type"), withBody);
        QCOMPARE(request.jsonBody(), body.value_or(QJsonObject()));
        QCOMPARE(request.hasHeader("Authorization"), !authorization.isEmpty());
        QCOMPARE(request.header("Authorization"), authorization);
    }

    void baseURLIsTrimmedAndLosesItsPath()
    {
        m_probe.service.http().answerNext(kProbePath, LoopbackReply::raw(200, probeEnvelope("x")));
        const BackendAPIClient via = m_probe.client();
        runTask(ProbeFixture::probe(
            via, QStringLiteral("  ") + m_probe.service.baseURL() + QStringLiteral("/prefix/\n"),
            BackendAPIClient::kDefaultReplyLimit));
        QCOMPARE(m_probe.service.http().requests().size(), 1);
        QCOMPARE(m_probe.service.http().requests().constFirst().target, kProbePath.toLatin1());
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
        baseURL.replace(QStringLiteral("PORT"), QString::number(m_probe.service.http().port()));
        m_probe.service.http().answerNext(kProbePath, LoopbackReply::raw(200, probeEnvelope("x")));
        const BackendAPIClient via = m_probe.client();
        const auto error = clientErrorOf(ProbeFixture::probe(via, baseURL));
        QCOMPARE(m_probe.service.http().requests().size(), accepted ? 1 : 0);
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
        m_probe.service.http().answerNext(kProbePath, LoopbackReply::raw(status, body));
        const BackendAPIClient via = m_probe.client();
        std::optional<ClientError> error;
        if (typed) {
            error = clientErrorOf(ProbeFixture::probe(via, m_probe.service.baseURL()));
        } else {
            error = clientErrorOf(via.send<EmptyPayload>(m_probe.service.baseURL(), kProbePath,
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
        m_probe.service.http().answerNext(
            kProbePath, LoopbackReply::envelope(400, "AUTH_SESSION_REVOKED", "Signed out."));
        const BackendAPIClient via = m_probe.client();
        const auto error = clientErrorOf(ProbeFixture::probe(via, m_probe.service.baseURL()));
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
            m_probe.service.http().answerNext(kProbePath, LoopbackReply::raw(status, body));
            const BackendAPIClient via = m_probe.client();
            if (expected.isEmpty()) {
                const auto error = clientErrorOf(ProbeFixture::probe(via, m_probe.service.baseURL()));
                QVERIFY(error);
                QCOMPARE(error->kind(), status == 401 ? ClientError::Kind::unauthorized
                                                      : ClientError::Kind::invalidResponse);
                continue;
            }
            const Probe result = runTask(ProbeFixture::probe(via, m_probe.service.baseURL()));
            if (expected == QLatin1String("none"))
                QVERIFY(!result.when);
            else
                QCOMPARE(result.when->toUTC().toString(Qt::ISODateWithMs), expected);
        }
    }

    void queryValuesReachTheServiceWhole()
    {
        const QString value = QStringLiteral("a b&c=d+e/f?g#h%i");
        m_probe.service.http().answerNext(QStringLiteral("/api/v1/me/query"),
                                          LoopbackReply::raw(200, probeEnvelope("q")));
        const BackendAPIClient via = m_probe.client();
        runTask(via.send<Probe>(m_probe.service.baseURL(),
                                QStringLiteral("/api/v1/me/query?v=") +
                                    BackendAPIClient::encodedQueryValue(value),
                                QStringLiteral("GET"), std::nullopt, std::nullopt));
        const LoopbackRequest request = m_probe.service.http().requests().constLast();
        QCOMPARE(request.query.queryItems().size(), 1);
        QCOMPARE(request.queryValue(QStringLiteral("v")), value);
        QVERIFY(request.target.contains("a%20b%26c%3Dd%2Be/f?g%23h%25i"));
    }
};

QTEST_GUILESS_MAIN(BackendClientTest)
#include "tst_backendclient.moc"
