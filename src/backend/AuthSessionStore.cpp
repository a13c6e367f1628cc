#include "backend/AuthSessionStore.h"

#include "model/AppPaths.h"
#include "model/JsonFields.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"

#include <QFile>
#include <QJsonDocument>
#include <cerrno>
#include <unistd.h>

namespace orvalink {

AuthSessionStore::AuthSessionStore(QString filePath) : m_filePath(std::move(filePath)) {}

std::optional<BackendSession> AuthSessionStore::load() const
{
    try {
        AppPaths::ensureBaseDirectories();
        if (!platform::fileExists(m_filePath))
            return std::nullopt;
        return BackendSession::fromJson(json::parseObject(platform::readWholeFile(m_filePath)));
    } catch (const platform::PlatformError&) {
        return std::nullopt;
    } catch (const json::DecodeError&) {
        return std::nullopt;
    }
}

QByteArray AuthSessionStore::encode(const BackendSession& session)
{
    // QJsonObject keeps its keys sorted, so the indented form has them in sorted order.
    return QJsonDocument(session.toJson()).toJson(QJsonDocument::Indented);
}

void AuthSessionStore::save(const BackendSession& session) const
{
    AppPaths::ensureBaseDirectories();
    platform::writeFileAtomically(m_filePath, encode(session), 0600);
}

void AuthSessionStore::clear() const
{
    if (::unlink(QFile::encodeName(m_filePath).constData()) != 0 && errno != ENOENT)
        throw platform::PlatformError::fromErrno(errno, m_filePath);
}

} // namespace orvalink
