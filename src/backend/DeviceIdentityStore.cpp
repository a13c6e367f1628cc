#include "backend/DeviceIdentityStore.h"

#include "model/AppPaths.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"

#include <QStringDecoder>
#include <QUuid>
#include <optional>

namespace orvalink {

namespace {

std::optional<QString> storedFingerprint(const QString& path)
{
    QByteArray bytes;
    try {
        bytes = platform::readWholeFile(path);
    } catch (const platform::PlatformError&) {
        return std::nullopt;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    const QString trimmed = text.trimmed();
    return trimmed.isEmpty() ? std::nullopt : std::optional<QString>(trimmed);
}

} // namespace

DeviceIdentityStore::DeviceIdentityStore(QString filePath) : m_filePath(std::move(filePath)) {}

QString DeviceIdentityStore::currentFingerprint() const
{
    AppPaths::ensureBaseDirectories();
    if (const auto stored = storedFingerprint(m_filePath))
        return *stored;
    const QString fresh = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    platform::writeFileAtomically(m_filePath, fresh.toUtf8(), 0600);
    return fresh;
}

} // namespace orvalink
