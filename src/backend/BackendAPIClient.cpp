#include "backend/BackendAPIClient.h"

#include "backend/ServiceRedirect.h"
#include "model/JsonFields.h"

#include <QCoro/QCoroNetworkReply>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <memory>

namespace orvalink {

namespace {

bool isLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

// Collects the body as it arrives, so an oversized reply is cut off before it fills memory.
struct ReplySink {
    explicit ReplySink(qint64 maximum) : limit(maximum) {}

    void overflow(QNetworkReply& reply)
    {
        oversized = true;
        body.clear();
        reply.abort();
    }

    qint64 limit;
    QByteArray body;
    bool oversized = false;
};

void watchBody(QNetworkReply* reply, const std::shared_ptr<ReplySink>& sink)
{
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, sink] {
        if (sink->oversized)
            return;
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > sink->limit)
            sink->overflow(*reply);
    });
    QObject::connect(reply, &QIODevice::readyRead, reply, [reply, sink] {
        if (sink->oversized)
            return;
        sink->body += reply->readAll();
        if (sink->body.size() > sink->limit)
            sink->overflow(*reply);
    });
}

// Deletes the reply once the request is over, whichever way it ends.
class ReplyHolder {
public:
    explicit ReplyHolder(QNetworkReply* reply) : m_reply(reply) {}
    ~ReplyHolder()
    {
        if (m_reply)
            m_reply->deleteLater();
    }
    ReplyHolder(const ReplyHolder&) = delete;
    ReplyHolder& operator=(const ReplyHolder&) = delete;
    QNetworkReply* get() const { return m_reply.data(); }

private:
    QPointer<QNetworkReply> m_reply;
};

// One answer off the wire, and where it redirects to, if anywhere.
struct HopReply {
    RawServiceReply raw;
    QByteArray location;
};

HopReply finishedReply(QNetworkReply& reply, ReplySink& sink)
{
    if (sink.oversized)
        throw ClientError::invalidResponse();
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply.error();
    // Errors below 200 are the connection's own (refused, reset, ...); the others only restate an
    // HTTP status, whose body still carries the service's envelope.
    if (error != QNetworkReply::NoError && (error < QNetworkReply::ContentAccessDenied || !status.isValid()))
        throw ClientError::transportFailure(reply.errorString());
    if (!status.isValid())
        throw ClientError::invalidResponse();
    sink.body += reply.readAll();
    if (sink.body.size() > sink.limit)
        throw ClientError::invalidResponse();
    return HopReply{RawServiceReply{status.toInt(), sink.body},
                    reply.rawHeader(QByteArrayLiteral("Location"))};
}

// Sends one hop and waits for its whole answer until `deadline`.
QCoro::Task<HopReply> transfer(QNetworkAccessManager* network, ServiceRequestHop hop,
                               QByteArray authorization, qint64 replyLimit, QDeadlineTimer deadline)
{
    QNetworkRequest request(hop.url);
    // Redirects are followed by the caller, one request per hop.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader(QByteArrayLiteral("Accept"), QByteArrayLiteral("application/json"));
    if (!authorization.isEmpty())
        request.setRawHeader(QByteArrayLiteral("Authorization"), authorization);
    QNetworkReply* sent = nullptr;
    if (hop.body) {
        request.setRawHeader(QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json"));
        sent = network->sendCustomRequest(request, hop.method, *hop.body);
    } else {
        sent = network->sendCustomRequest(request, hop.method);
    }
    const ReplyHolder reply(sent);
    const auto sink = std::make_shared<ReplySink>(replyLimit);
    watchBody(reply.get(), sink);

    const auto remaining = std::chrono::milliseconds(std::max<qint64>(0, deadline.remainingTime()));
    bool finished = false;
    if (remaining.count() > 0)
        finished = co_await qCoro(reply.get()).waitForFinished(remaining);
    if (!reply.get())
        throw ClientError::transportFailure(QStringLiteral("The request was cancelled."));
    if (!finished) {
        reply.get()->abort();
        throw ClientError::transportFailure(QStringLiteral("The request timed out."));
    }
    co_return finishedReply(*reply.get(), *sink);
}

} // namespace

BackendAPIClient::BackendAPIClient(QNetworkAccessManager* network, std::chrono::milliseconds timeout,
                                   QTimeZone localZone)
    : m_network(network), m_timeout(timeout), m_dates(std::move(localZone))
{}

QUrl BackendAPIClient::requestURL(const QString& baseURL, const QString& path)
{
    const QString trimmed = baseURL.trimmed();
    if (trimmed.isEmpty())
        throw ClientError::invalidBaseURL();
    const QUrl base(trimmed, QUrl::StrictMode);
    if (!base.isValid() || base.isRelative() || base.host().isEmpty())
        throw ClientError::invalidBaseURL();
    const QString scheme = base.scheme().toLower();
    const bool secure = scheme == QLatin1String("https");
    if (!secure && !(scheme == QLatin1String("http") && isLoopbackHost(base.host())))
        throw ClientError::invalidBaseURL();
    // "//host/..." would be a reference to another host, not a path.
    if (!path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1String("//")))
        throw ClientError::invalidBaseURL();
    const QUrl reference(path, QUrl::StrictMode);
    if (!reference.isValid())
        throw ClientError::invalidBaseURL();
    const QUrl resolved = base.resolved(reference);
    if (!resolved.isValid() || resolved.host() != base.host() || resolved.port() != base.port())
        throw ClientError::invalidBaseURL();
    return resolved;
}

QString BackendAPIClient::encodedQueryValue(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value, QByteArrayLiteral("!$'()*,;:@/?")));
}

QByteArray BackendAPIClient::compactJson(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QCoro::Task<RawServiceReply> BackendAPIClient::exchange(QString baseURL, QString path, QString method,
                                                        std::optional<QByteArray> body,
                                                        std::optional<QString> accessToken,
                                                        qint64 replyLimit) const
{
    ServiceRequestHop hop{requestURL(baseURL, path), method.toLatin1(), std::move(body)};
    const QByteArray authorization =
        accessToken && !accessToken->isEmpty() ? "Bearer " + accessToken->toUtf8() : QByteArray();
    // One deadline for the whole request, redirects included.
    const QDeadlineTimer deadline(m_timeout);
    for (int redirects = 0;; ++redirects) {
        if (!m_network)
            throw ClientError::transportFailure(QStringLiteral("No network access is available."));
        const HopReply reply = co_await transfer(m_network, hop, authorization, replyLimit, deadline);
        std::optional<ServiceRequestHop> next = ServiceRedirect::next(hop, reply.raw.status, reply.location);
        if (!next)
            co_return reply.raw;
        if (redirects == ServiceRedirect::kMaxHops)
            throw ClientError::transportFailure(
                QStringLiteral("The service redirected the request too many times."));
        hop = std::move(*next);
    }
}

bool BackendAPIClient::unwrapEnvelope(const RawServiceReply& reply,
                                      const std::function<void(const QJsonValue&)>& decodeData) const
{
    const bool refused = reply.status == 401 || reply.status == 403;
    QString code;
    QString message;
    bool hasData = false;
    try {
        const QJsonObject envelope = json::parseObject(reply.body);
        code = json::requireString(envelope, "code");
        message = json::requireString(envelope, "msg");
        const QJsonValue data = envelope.value(QLatin1String("data"));
        hasData = !data.isUndefined() && !data.isNull();
        if (hasData)
            decodeData(data);
    } catch (const json::DecodeError&) {
        throw refused ? ClientError::unauthorized() : ClientError::invalidResponse();
    }
    if (code != QLatin1String("OK"))
        throw refused ? ClientError::unauthorized() : ClientError::server(code, message);
    return hasData;
}

} // namespace orvalink
