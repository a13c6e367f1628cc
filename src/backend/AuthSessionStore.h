#pragma once

#include "backend/BackendSession.h"

#include <QString>
#include <optional>

namespace orvalink {

// Keeps the signed-in session in one file ("auth_session.json" in the application-support
// directory) so that a restart stays signed in. The file holds the tokens, so it is written with
// mode 0600 whatever the umask. Nothing is kept in memory: every load reads the disk again.
class AuthSessionStore {
public:
    explicit AuthSessionStore(QString filePath);

    const QString& filePath() const { return m_filePath; }

    // The saved session; none when the directories cannot be made or the file is missing,
    // unreadable or not a session. Never reports why, and never touches the file.
    std::optional<BackendSession> load() const;

    // Replaces the file atomically with the session (pretty-printed, sorted keys, whole-second
    // dates); the previous file stays whole when this fails. Throws platform::PlatformError.
    void save(const BackendSession& session) const;

    // Removes the file; a missing file is no failure. Throws platform::PlatformError when the file
    // stays, for then the session comes back at the next start.
    void clear() const;

    // The file form of a session.
    static QByteArray encode(const BackendSession& session);

private:
    QString m_filePath;
};

} // namespace orvalink
