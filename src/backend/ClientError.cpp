#include "backend/ClientError.h"

namespace orvalink {

ClientError::ClientError(Kind kind, QString code, QString message)
    : m_kind(kind), m_code(std::move(code)), m_message(std::move(message))
{
    m_utf8 = errorDescription().toUtf8();
}

ClientError ClientError::transportFailure(const QString& message)
{
    return ClientError(Kind::transportFailure, QString(), message);
}

ClientError ClientError::server(const QString& code, const QString& message)
{
    return ClientError(Kind::server, code, message);
}

ClientError ClientError::invalidBaseURL()
{
    return ClientError(Kind::invalidBaseURL, QString(), QString());
}

ClientError ClientError::invalidResponse()
{
    return ClientError(Kind::invalidResponse, QString(), QString());
}

ClientError ClientError::missingPayload()
{
    return ClientError(Kind::missingPayload, QString(), QString());
}

ClientError ClientError::unauthorized()
{
    return ClientError(Kind::unauthorized, QString(), QString());
}

QString ClientError::errorDescription() const
{
    switch (m_kind) {
    case Kind::transportFailure:
    case Kind::server:
        return m_message;
    case Kind::invalidBaseURL:
        return QStringLiteral("Backend base URL is invalid.");
    case Kind::invalidResponse:
        return QStringLiteral("Backend response is invalid.");
    case Kind::missingPayload:
        return QStringLiteral("Backend returned an empty payload.");
    case Kind::unauthorized:
        return QStringLiteral("Backend authorization failed.");
    }
    return QString();
}

} // namespace orvalink
