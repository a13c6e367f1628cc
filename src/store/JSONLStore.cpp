#include "store/JSONLStore.h"

#include "platform/AtomicFileWriter.h"
#include "platform/FileIO.h"
#include "platform/StandardPath.h"

#include <QHash>
#include <memory>

namespace orvalink::JSONLStore {

namespace {

// The new file is written in pieces of about this size.
constexpr qsizetype kWriteBatch = 1 << 20;
constexpr qint64 kCopyChunk = 1 << 20;

} // namespace

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

qsizetype rewriteWithout(const QString& path, const std::function<bool(const QByteArray& line)>& drop)
{
    std::lock_guard guard(fileLock(path));
    auto reader = JsonLinesReader::open(path);
    if (!reader)
        return 0;
    platform::AtomicFileWriter file(path, 0600);
    QByteArray batch;
    qsizetype dropped = 0;
    JsonLinesReader::Line line;
    while (reader->next(line)) {
        if (line.overlong) {
            // Copied through as it stands, in pieces, with the line feed a cut-off line lacks.
            file.write(std::exchange(batch, {}));
            for (qint64 at = line.offset; at < line.end; at += kCopyChunk)
                file.write(reader->readRaw(at, std::min(kCopyChunk, line.end - at)));
            if (!line.finished)
                file.write("\n");
            continue;
        }
        if (drop(line.text)) {
            ++dropped;
            continue;
        }
        batch += line.text;
        batch += '\n';
        if (batch.size() >= kWriteBatch)
            file.write(std::exchange(batch, {}));
    }
    if (dropped == 0)
        return 0; // the new file is discarded with the writer
    file.write(batch);
    file.commit();
    return dropped;
}

} // namespace orvalink::JSONLStore
