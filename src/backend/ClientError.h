#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace orvalink {

// Every failure of a request to the account service. The descriptions are English only: they are
// either fixed texts or what the server or the transport said.
class ClientError : public std::exception {
public:
    enum class Kind {
        transportFailure,
        server,
        invalidBaseURL,
        invalidResponse,
        missingPayload,
        unauthorized
    };

    static ClientError transportFailure(const QString& message);
    static ClientError server(const QString& code, const QString& message);
    static ClientError invalidBaseURL();
    static ClientError invalidResponse();
    static ClientError missingPayload();
    static ClientError unauthorized();

    Kind kind() const { return m_kind; }
    // The service's code for `server`; empty otherwise.
    const QString& code() const { return m_code; }
    // The payload message of `transportFailure` and `server`; empty otherwise.
    const QString& message() const { return m_message; }

    // The text shown to the user: the message itself for `transportFailure` and `server` (the code
    // is not shown), a fixed text for the other kinds.
    QString errorDescription() const;

    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    ClientError(Kind kind, QString code, QString message);

    Kind m_kind;
    QString m_code;
    QString m_message;
    QByteArray m_utf8;
};

} // namespace orvalink
