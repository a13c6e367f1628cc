#pragma once

#include <QByteArray>
#include <QUrl>
#include <optional>

namespace orvalink {

// One request on the way to the account service: where it goes, its method and its body.
struct ServiceRequestHop {
    QUrl url;
    QByteArray method;
    std::optional<QByteArray> body;
};

// How the service client follows redirects itself (the network stack's own following is off: it
// has sent a POST body twice on a kept-alive connection). Only 301, 302, 303, 307 and 308 are
// followed; 307 and 308 repeat the same method and body, 303 asks again with GET (HEAD stays
// HEAD), and 301 and 302 turn a POST into a GET; a request that becomes a GET loses its body.
namespace ServiceRedirect {

// At most this many redirects per request; one more fails the request.
inline constexpr int kMaxHops = 8;

// The request that answers a redirect `status` whose Location header is `location`, resolved
// against `from`. None when the Location is absent or unusable (the reply then stands as it is).
// Throws ClientError::transportFailure when it leads to another origin (scheme, host or port) or
// carries user credentials: the access token must not travel anywhere else.
std::optional<ServiceRequestHop> next(const ServiceRequestHop& from, int status, const QByteArray& location);

} // namespace ServiceRedirect

} // namespace orvalink
