#include "store/JSONLStore.h"

#include "platform/FileIO.h"
#include "platform/StandardPath.h"

#include <QHash>
#include <memory>

namespace orvalink::JSONLStore {

QByteArray encodeLine(const QJsonObject& object)
{
    // In compact JSON a "/" byte can only stand inside a string (UTF-8 never uses it within a
    // multi-byte character, and no escape sequence contains it), so escaping every one is exact.
    QByteArray line = json::compact(object);
    line.replace('/', QByteArrayLiteral("\\/"));
    return line;
}

std::recursive_mutex& fileLock(const QString& path)
{
    static std::mutex registryMutex;
    static QHash<QString, std::shared_ptr<std::recursive_mutex>> registry;
    std::lock_guard guard(registryMutex);
    auto& slot = registry[platform::standardizedPath(path)];
    if (!slot)
        slot = std::make_shared<std::recursive_mutex>();
    return *slot;
}

QList<QByteArray> readLines(const QString& path)
{
    std::lock_guard guard(fileLock(path));
    if (!platform::fileExists(path))
        return {};
    const QByteArray content = platform::readWholeFile(path);
    QList<QByteArray> lines;
    for (const QByteArray& piece : content.split('\n')) {
        const QByteArray line = piece.trimmed();
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

void appendLine(const QString& path, const QByteArray& line)
{
    std::lock_guard guard(fileLock(path));
    platform::createDirectories(platform::parentPath(path));
    platform::appendLine(path, line + '\n');
}

void writeLines(const QString& path, const QList<QByteArray>& lines)
{
    std::lock_guard guard(fileLock(path));
    platform::createDirectories(platform::parentPath(path));
    QByteArray buffer;
    for (const QByteArray& line : lines) {
        buffer += line;
        buffer += '\n';
    }
    platform::writeFileAtomically(path, buffer, 0600);
}

} // namespace orvalink::JSONLStore
