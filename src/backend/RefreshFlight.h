#pragma once

#include "backend/BackendSession.h"

#include <QObject>
#include <exception>
#include <optional>

namespace orvalink {

// One refresh of a session in progress, shared by every caller that needs the same session
// renewed meanwhile: with rotating refresh tokens a second refresh of the same token would be
// refused and look like a lost session.
class RefreshFlight : public QObject {
    Q_OBJECT

public:
    explicit RefreshFlight(QString refreshToken) : m_refreshToken(std::move(refreshToken)) {}

    const QString& refreshToken() const { return m_refreshToken; }
    bool isFinished() const { return m_finished; }

    void succeed(BackendSession session);
    void fail(std::exception_ptr error);

    // The renewed session, or the refresh's error rethrown. Only after the flight finished.
    BackendSession result() const;

Q_SIGNALS:
    void finished();

private:
    void finish();

    QString m_refreshToken;
    bool m_finished = false;
    std::optional<BackendSession> m_session;
    std::exception_ptr m_error;
};

} // namespace orvalink
