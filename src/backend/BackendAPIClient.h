#pragma once

#include "backend/ClientError.h"
#include "backend/ServiceDateReader.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QJsonObject>
#include <QJsonValue>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <chrono>
#include <concepts>
#include <functional>
#include <optional>

class QNetworkAccessManager;

namespace orvalink {

// The HTTP methods the services send.
inline const QString kHttpGet = QStringLiteral("GET");
inline const QString kHttpPost = QStringLiteral("POST");

// The payload of operations whose "data" is ignored: any value, or none, is accepted.
struct EmptyPayload {};

// What a reply's "data" can be decoded as: EmptyPayload, or a type with a static
// fromServiceJson(data, dates) that raises json::DecodeError when the value does not fit.
template <typename T>
concept ServicePayload = std::same_as<T, EmptyPayload> ||
    requires(const QJsonValue& data, const ServiceDateReader& dates)
{
    {
        T::fromServiceJson(data, dates)
        } -> std::same_as<T>;
};

// A reply as it came off the wire: an HTTP status and the whole body.
struct RawServiceReply {
    int status = 0;
    QByteArray body;
};

// The one place that speaks HTTP to the account service. Every request carries
// "Accept: application/json"; a body is compact JSON with "Content-Type: application/json"; a
// non-empty access token travels as "Authorization: Bearer <token>". Every reply is the envelope
// {"code", "msg", "data"} with "OK" as the success code, judged whatever its HTTP status; only 401
// and 403 change the outcome of a failing reply (to unauthorized).
//
// Credentials must not leak: only https base URLs are accepted, or plain http to a loopback host;
// redirects are followed here (ServiceRedirect), one request per hop and only within the same
// origin. The timeout covers the whole request
// (redirects and a slowly trickling body included), and a reply body larger than the request's
// limit is cut off as an invalid response.
//
// Main thread only. The client must outlive its requests; the application keeps one per service
// for the life of the process.
class BackendAPIClient {
public:
    using ClientError = orvalink::ClientError;

    static constexpr std::chrono::milliseconds kDefaultTimeout{30000};
    static constexpr qint64 kDefaultReplyLimit = qint64(1) << 20;
    static constexpr qint64 kLargeReplyLimit = qint64(16) << 20;

    // `network` is the process's shared access manager. Dates without a zone designator are read in
    // `localZone`, fixed at construction.
    explicit BackendAPIClient(QNetworkAccessManager* network,
                              std::chrono::milliseconds timeout = kDefaultTimeout,
                              QTimeZone localZone = QTimeZone::systemTimeZone());

    // Sends one request and decodes the envelope's "data" as T. `path` begins with "/" and may end
    // in a query the caller has already encoded; it replaces any path of the base URL. Throws
    // ClientError.
    template <ServicePayload T>
    QCoro::Task<T> send(QString baseURL, QString path, QString method, std::optional<QJsonObject> body,
                        std::optional<QString> accessToken, qint64 replyLimit = kDefaultReplyLimit) const
    {
        std::optional<QByteArray> encoded;
        if (body)
            encoded = compactJson(*body);
        return sendEncoded<T>(std::move(baseURL), std::move(path), std::move(method), std::move(encoded),
                              std::move(accessToken), replyLimit);
    }

    // The same with a body that is already compact JSON (a large one, built off the main thread).
    template <ServicePayload T>
    QCoro::Task<T> sendEncoded(QString baseURL, QString path, QString method, std::optional<QByteArray> body,
                               std::optional<QString> accessToken,
                               qint64 replyLimit = kDefaultReplyLimit) const
    {
        const RawServiceReply reply =
            co_await exchange(std::move(baseURL), std::move(path), std::move(method), std::move(body),
                              std::move(accessToken), replyLimit);
        co_return decodeReply<T>(reply);
    }

    // The absolute URL of a request: the trimmed base URL's scheme, host and port with `path`.
    // Throws ClientError::invalidBaseURL for a base URL that is empty, malformed, of another
    // scheme than http and https, or plain http to a host that is not a loopback address.
    static QUrl requestURL(const QString& baseURL, const QString& path);

    // `value` percent-encoded for use as one query value: everything outside the RFC 3986
    // unreserved characters, the sub-delimiters and ":@/?" is encoded, and "&", "=" and "+" are
    // encoded too, so the value always reaches the service whole.
    static QString encodedQueryValue(const QString& value);

    const ServiceDateReader& dateReader() const { return m_dates; }
    std::chrono::milliseconds timeout() const { return m_timeout; }

private:
    QCoro::Task<RawServiceReply> exchange(QString baseURL, QString path, QString method,
                                          std::optional<QByteArray> body, std::optional<QString> accessToken,
                                          qint64 replyLimit) const;
    static QByteArray compactJson(const QJsonObject& object);

    // Checks the envelope and its status rules. Calls `decodeData` with a present, non-null "data"
    // (a json::DecodeError from it fails the envelope); returns whether "data" was present.
    bool unwrapEnvelope(const RawServiceReply& reply,
                        const std::function<void(const QJsonValue&)>& decodeData) const;

    template <ServicePayload T> T decodeReply(const RawServiceReply& reply) const
    {
        if constexpr (std::same_as<T, EmptyPayload>) {
            unwrapEnvelope(reply, [](const QJsonValue&) {});
            return EmptyPayload{};
        } else {
            std::optional<T> payload;
            const bool present = unwrapEnvelope(
                reply, [&](const QJsonValue& data) { payload = T::fromServiceJson(data, m_dates); });
            if (!present || !payload)
                throw ClientError::missingPayload();
            return std::move(*payload);
        }
    }

    QPointer<QNetworkAccessManager> m_network;
    std::chrono::milliseconds m_timeout;
    ServiceDateReader m_dates;
};

} // namespace orvalink
