#include "support/LoopbackHttpServer.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <algorithm>

namespace orvalink::test {

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 409:
        return "Conflict";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    default:
        return "Status";
    }
}

// Parses one request from the front of `buffer` and removes it; false while it is incomplete.
bool takeRequest(QByteArray& buffer, LoopbackRequest& request)
{
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return false;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request = LoopbackRequest{};
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    qint64 contentLength = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = lines[i].left(colon).trimmed().toLower();
        const QByteArray value = lines[i].mid(colon + 1).trimmed();
        request.headers.append({name, value});
        if (name == "content-length")
            contentLength = value.toLongLong();
    }
    const qsizetype total = headerEnd + 4 + contentLength;
    if (buffer.size() < total)
        return false;
    request.body = buffer.mid(headerEnd + 4, contentLength);
    buffer.remove(0, total);
    const qsizetype question = request.target.indexOf('?');
    request.path = QUrl::fromPercentEncoding(question < 0 ? request.target : request.target.left(question));
    if (question >= 0)
        request.query.setQuery(QString::fromUtf8(request.target.mid(question + 1)));
    return true;
}

QByteArray headBlock(const LoopbackReply& reply)
{
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    if (!reply.contentType.isEmpty())
        head += "Content-Type: " + reply.contentType + "\r\n";
    if (reply.closeDelimited)
        head += "Connection: close\r\n";
    else
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    for (const auto& [name, value] : reply.headers)
        head += name + ": " + value + "\r\n";
    return head + "\r\n";
}

// One client connection: requests are answered one after another, in order.
class LoopbackConnection : public QObject {
public:
    using Answer = std::function<LoopbackReply(const LoopbackRequest&)>;

    LoopbackConnection(QTcpSocket* socket, Answer answer, QObject* parent)
        : QObject(parent), m_socket(socket), m_answer(std::move(answer))
    {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this] {
            m_buffer += m_socket->readAll();
            serveNext();
        });
        connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    }

private:
    void serveNext()
    {
        LoopbackRequest request;
        if (m_busy || !takeRequest(m_buffer, request))
            return;
        m_busy = true;
        const LoopbackReply reply = m_answer(request);
        QTimer::singleShot(reply.delay, this, [this, reply] { send(reply); });
    }

    void send(const LoopbackReply& reply)
    {
        m_socket->write(headBlock(reply));
        if (reply.trickleInterval.count() <= 0) {
            m_socket->write(reply.body);
            finish(reply);
            return;
        }
        auto* timer = new QTimer(this);
        auto sent = std::make_shared<qsizetype>(0);
        connect(timer, &QTimer::timeout, this, [this, timer, sent, reply] {
            if (*sent >= reply.body.size()) {
                timer->deleteLater();
                finish(reply);
                return;
            }
            m_socket->write(reply.body.mid(*sent, 1));
            ++*sent;
        });
        timer->start(reply.trickleInterval);
    }

    void finish(const LoopbackReply& reply)
    {
        if (reply.closeDelimited) {
            m_socket->disconnectFromHost();
            return;
        }
        m_busy = false;
        serveNext();
    }

    QTcpSocket* m_socket;
    Answer m_answer;
    QByteArray m_buffer;
    bool m_busy = false;
};

} // namespace

bool LoopbackRequest::hasHeader(const QByteArray& name) const
{
    const QByteArray lower = name.toLower();
    return std::any_of(headers.cbegin(), headers.cend(),
                       [&](const auto& header) { return header.first == lower; });
}

QByteArray LoopbackRequest::header(const QByteArray& name) const
{
    const QByteArray lower = name.toLower();
    for (const auto& [key, value] : headers) {
        if (key == lower)
            return value;
    }
    return QByteArray();
}

QString LoopbackRequest::queryValue(const QString& key) const
{
    return query.queryItemValue(key, QUrl::FullyDecoded);
}

QJsonObject LoopbackRequest::jsonBody() const
{
    return QJsonDocument::fromJson(body).object();
}

LoopbackReply LoopbackReply::envelope(int status, const QString& code, const QString& message,
                                      const QJsonValue& data)
{
    const QJsonObject object{
        {QStringLiteral("code"), code}, {QStringLiteral("msg"), message}, {QStringLiteral("data"), data}};
    return raw(status, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

LoopbackReply LoopbackReply::ok(const QJsonValue& data)
{
    return envelope(200, QStringLiteral("OK"), QStringLiteral("success"), data);
}

LoopbackReply LoopbackReply::raw(int status, QByteArray body, QByteArray contentType)
{
    LoopbackReply reply;
    reply.status = status;
    reply.body = std::move(body);
    reply.contentType = std::move(contentType);
    return reply;
}

LoopbackReply LoopbackReply::redirect(int status, const QByteArray& location)
{
    LoopbackReply reply = raw(status, QByteArray(), QByteArray());
    reply.headers.append({"Location", location});
    return reply;
}

LoopbackHttpServer::LoopbackHttpServer(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler))
{
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::accept);
}

LoopbackHttpServer::~LoopbackHttpServer() = default;

bool LoopbackHttpServer::listen(quint16 port)
{
    if (port == 8080)
        return false;
    return m_server.listen(QHostAddress::LocalHost, port);
}

quint16 LoopbackHttpServer::port() const
{
    return m_server.serverPort();
}

QString LoopbackHttpServer::baseURL() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

QList<LoopbackRequest> LoopbackHttpServer::requestsTo(const QString& path) const
{
    QList<LoopbackRequest> matching;
    for (const LoopbackRequest& request : m_requests) {
        if (request.path == path)
            matching.append(request);
    }
    return matching;
}

void LoopbackHttpServer::reset()
{
    m_requests.clear();
    m_canned.clear();
    m_delays.clear();
}

void LoopbackHttpServer::answerNext(const QString& path, const LoopbackReply& reply, int times)
{
    for (int i = 0; i < times; ++i)
        m_canned[path].append(reply);
}

void LoopbackHttpServer::setDelay(const QString& path, std::chrono::milliseconds delay)
{
    if (delay.count() > 0)
        m_delays.insert(path, delay);
    else
        m_delays.remove(path);
}

void LoopbackHttpServer::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection())
        new LoopbackConnection(
            socket, [this](const LoopbackRequest& request) { return answer(request); }, this);
}

LoopbackReply LoopbackHttpServer::answer(const LoopbackRequest& request)
{
    m_requests.append(request);
    auto canned = m_canned.find(request.path);
    if (canned != m_canned.end() && !canned->isEmpty())
        return canned->takeFirst();
    LoopbackReply reply = m_handler(request);
    if (reply.delay.count() == 0)
        reply.delay = m_delays.value(request.path, std::chrono::milliseconds(0));
    return reply;
}

} // namespace orvalink::test
