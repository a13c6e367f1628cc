#include "backend/ServiceRedirect.h"

#include "backend/ClientError.h"

namespace orvalink::ServiceRedirect {

namespace {

bool sameOrigin(const QUrl& a, const QUrl& b)
{
    const int defaultPort = a.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80;
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && a.port(defaultPort) == b.port(defaultPort);
}

bool isFollowed(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

std::optional<ServiceRequestHop> next(const ServiceRequestHop& from, int status, const QByteArray& location)
{
    if (!isFollowed(status))
        return std::nullopt;
    const QByteArray trimmed = location.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const QUrl reference = QUrl::fromEncoded(trimmed, QUrl::StrictMode);
    if (!reference.isValid())
        return std::nullopt;
    QUrl target = from.url.resolved(reference);
    if (!target.isValid() || target.host().isEmpty())
        return std::nullopt;
    if (!sameOrigin(from.url, target) || !target.userInfo().isEmpty())
        throw ClientError::transportFailure(
            QStringLiteral("The service redirected the request to another origin."));
    target.setFragment(QString());

    ServiceRequestHop hop{target, from.method, from.body};
    const bool toGet = (status == 303 && from.method != "HEAD") ||
                       ((status == 301 || status == 302) && from.method == "POST");
    if (toGet) {
        hop.method = "GET";
        hop.body.reset();
    }
    return hop;
}

} // namespace orvalink::ServiceRedirect
