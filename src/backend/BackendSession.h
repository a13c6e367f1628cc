#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

namespace orvalink {

// The signed-in session: saved in "auth_session.json" and published by the application state.
struct BackendSession {
    QString email;
    QString accessToken;
    QString refreshToken;
    // Computed locally from the service's lifetime of the token.
    QDateTime accessTokenExpiresAt;
    // Kept unchanged across refreshes.
    QDateTime signedInAt;

    // The five keys, dates as ISO 8601 text in UTC with whole seconds.
    QJsonObject toJson() const;
    // All five keys are required; dates are ISO 8601 without a fraction of a second (Z or an
    // offset). Raises json::DecodeError.
    static BackendSession fromJson(const QJsonObject& object);

    bool operator==(const BackendSession&) const = default;
};

} // namespace orvalink
