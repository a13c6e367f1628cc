#pragma once

#include "BackendTestSupport.h"
#include "backend/BackendAPIClient.h"
#include "support/LoopbackAccountService.h"

#include <QNetworkAccessManager>
#include <chrono>
#include <memory>

namespace orvalink::test {

// A payload with one required text and one optional date, to drive the envelope and date rules.
struct Probe {
    QString name;
    std::optional<QDateTime> when;

    static Probe fromServiceJson(const QJsonValue& data, const ServiceDateReader& dates);
};

// The path the probe requests go to; answers are canned per test.
extern const QString kProbePath;

// An envelope with status "OK" carrying a probe named `name`.
QByteArray probeEnvelope(const QByteArray& name);

// A loopback service and an access manager for the tests of the client itself.
struct ProbeFixture {
    LoopbackAccountService service;
    std::unique_ptr<QNetworkAccessManager> network = loopbackNetwork();

    // A client that reads dates without a zone designator in UTC+8.
    BackendAPIClient client(std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

    // GET kProbePath with an access token.
    static QCoro::Task<Probe> probe(BackendAPIClient via, QString baseURL,
                                    qint64 limit = BackendAPIClient::kDefaultReplyLimit);
};

} // namespace orvalink::test
