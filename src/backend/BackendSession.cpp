#include "backend/BackendSession.h"

#include "model/JsonFields.h"

namespace orvalink {

QJsonObject BackendSession::toJson() const
{
    return QJsonObject{
        {QStringLiteral("email"), email},
        {QStringLiteral("accessToken"), accessToken},
        {QStringLiteral("refreshToken"), refreshToken},
        {QStringLiteral("accessTokenExpiresAt"), json::isoDateText(accessTokenExpiresAt)},
        {QStringLiteral("signedInAt"), json::isoDateText(signedInAt)},
    };
}

BackendSession BackendSession::fromJson(const QJsonObject& object)
{
    BackendSession session;
    session.email = json::requireString(object, "email");
    session.accessToken = json::requireString(object, "accessToken");
    session.refreshToken = json::requireString(object, "refreshToken");
    session.accessTokenExpiresAt = json::requireDate(object, "accessTokenExpiresAt");
    session.signedInAt = json::requireDate(object, "signedInAt");
    return session;
}

} // namespace orvalink
