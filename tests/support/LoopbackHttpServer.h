#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUrlQuery>
#include <chrono>
#include <functional>
#include <utility>

namespace orvalink::test {

// One request as the server received it.
struct LoopbackRequest {
    QByteArray method;
    // The request target as sent: path and query, still encoded.
    QByteArray target;
    // The decoded path without the query.
    QString path;
    QUrlQuery query;
    // Names in lower case, in the order they arrived.
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;

    bool hasHeader(const QByteArray& name) const;
    QByteArray header(const QByteArray& name) const;
    // A query value fully decoded ("+" stays "+").
    QString queryValue(const QString& key) const;
    // The body as a JSON object; empty when it is none.
    QJsonObject jsonBody() const;
};

// What the server answers.
struct LoopbackReply {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QList<std::pair<QByteArray, QByteArray>> headers;
    // Wait this long before answering.
    std::chrono::milliseconds delay{0};
    // When set, the headers go out at once and the body one byte per interval.
    std::chrono::milliseconds trickleInterval{0};
    // Send no Content-Length: the body ends when the server closes the connection.
    bool closeDelimited = false;

    // {"code", "msg", "data"} with the given status.
    static LoopbackReply envelope(int status, const QString& code, const QString& message,
                                  const QJsonValue& data = QJsonValue::Null);
    // Status 200, code "OK".
    static LoopbackReply ok(const QJsonValue& data = QJsonValue::Null);
    // Any body, as it is.
    static LoopbackReply raw(int status, QByteArray body, QByteArray contentType = "application/json");
    // A redirect to `location`.
    static LoopbackReply redirect(int status, const QByteArray& location);
};

// A small HTTP/1.1 server on 127.0.0.1 for tests: records every request, lets a handler answer,
// and can be told to answer a path differently (a canned reply, a delay) for a while.
class LoopbackHttpServer : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<LoopbackReply(const LoopbackRequest&)>;

    explicit LoopbackHttpServer(Handler handler, QObject* parent = nullptr);
    ~LoopbackHttpServer() override;

    // Listens on 127.0.0.1 (port 0: a free one). 8080 is refused: the application rewrites that
    // loopback address to the official service.
    bool listen(quint16 port = 0);
    quint16 port() const;
    // "http://127.0.0.1:<port>".
    QString baseURL() const;

    const QList<LoopbackRequest>& requests() const { return m_requests; }
    QList<LoopbackRequest> requestsTo(const QString& path) const;
    void clearRequests() { m_requests.clear(); }
    // Forgets the recorded requests, the canned replies not yet used and the delays.
    void reset();

    // The next `times` requests to `path` (without query) get `reply` instead of the handler's.
    void answerNext(const QString& path, const LoopbackReply& reply, int times = 1);
    // Every handler answer to `path` is sent after `delay` (zero removes it).
    void setDelay(const QString& path, std::chrono::milliseconds delay);

private:
    void accept();
    LoopbackReply answer(const LoopbackRequest& request);

    Handler m_handler;
    QTcpServer m_server;
    QList<LoopbackRequest> m_requests;
    QHash<QString, QList<LoopbackReply>> m_canned;
    QHash<QString, std::chrono::milliseconds> m_delays;
};

} // namespace orvalink::test
