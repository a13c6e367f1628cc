#include "BackendTestSupport.h"

#include <QNetworkProxy>

namespace orvalink::test {

std::unique_ptr<QNetworkAccessManager> loopbackNetwork()
{
    auto network = std::make_unique<QNetworkAccessManager>();
    network->setProxy(QNetworkProxy::NoProxy);
    return network;
}

QString wireRuleViolation(const QList<LoopbackRequest>& requests)
{
    for (const LoopbackRequest& request : requests) {
        const QString where =
            QString::fromLatin1(request.method) + QLatin1Char(' ') + request.path + QStringLiteral(": ");
        if (request.header("Accept") != "application/json")
            return where + QStringLiteral("Accept is not application/json");
        const bool hasBody = !request.body.isEmpty();
        if (hasBody != request.hasHeader("Content-Type"))
            return where + QStringLiteral("Content-Type does not match the body");
        if (hasBody && request.header("Content-Type") != "application/json")
            return where + QStringLiteral("Content-Type is not application/json");
        if (!request.hasHeader("Authorization"))
            continue;
        if (!request.path.startsWith(QLatin1String("/api/v1/me/")))
            return where + QStringLiteral("Authorization outside /api/v1/me/");
        const QByteArray authorization = request.header("Authorization");
        if (!authorization.startsWith("Bearer ") || authorization.size() <= 7)
            return where + QStringLiteral("Authorization without a token");
    }
    return QString();
}

} // namespace orvalink::test
