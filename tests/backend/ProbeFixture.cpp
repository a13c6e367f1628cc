#include "ProbeFixture.h"

#include "backend/PayloadFields.h"
#include "model/JsonFields.h"

namespace orvalink::test {

const QString kProbePath = QStringLiteral("/api/v1/me/probe");

Probe Probe::fromServiceJson(const QJsonValue& data, const ServiceDateReader& dates)
{
    const QJsonObject object = payload::asObject(data);
    return Probe{json::requireString(object, "name"), dates.optional(object, "when")};
}

QByteArray probeEnvelope(const QByteArray& name)
{
    return R"({"code":"OK","msg":"","data":{"name":")" + name + R"("}})";
}

BackendAPIClient ProbeFixture::client(std::chrono::milliseconds timeout) const
{
    return BackendAPIClient(network.get(), timeout, QTimeZone(8 * 3600));
}

QCoro::Task<Probe> ProbeFixture::probe(BackendAPIClient via, QString baseURL, qint64 limit)
{
    co_return co_await via.send<Probe>(std::move(baseURL), kProbePath, QStringLiteral("GET"), std::nullopt,
                                       QStringLiteral("token"), limit);
}

} // namespace orvalink::test
