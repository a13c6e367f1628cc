#include "store/LogService.h"

#include "model/AppPaths.h"
#include "store/JSONLStore.h"
#include "store/JsonLinesReader.h"

#include <QDateTime>
#include <QFile>
#include <algorithm>

namespace orvalink {

namespace {

constexpr qint64 kBackwardChunkSize = 64 * 1024;

// Decodes the complete lines of `block` from its last line backwards into `newestFirst`.
void collectBackwards(const QByteArray& block, QList<LogEntry>& newestFirst, qint64 limit)
{
    const QList<QByteArray> lines = block.split('\n');
    for (auto it = lines.crbegin(); it != lines.crend() && newestFirst.size() < limit; ++it) {
        const QByteArray line = it->trimmed();
        if (line.isEmpty())
            continue;
        if (auto entry = JSONLStore::decodeLine<LogEntry>(line))
            newestFirst.append(std::move(*entry));
    }
}

} // namespace

LogService::LogService(QString filePath) : m_filePath(std::move(filePath)) {}

QList<LogEntry> LogService::loadRecent(qint64 limit) const
{
    std::lock_guard guard(m_lock);
    QList<LogEntry> newestFirst;
    QFile file(m_filePath);
    if (limit <= 0 || !file.open(QIODevice::ReadOnly))
        return newestFirst;
    qint64 position = file.size();
    QByteArray partialHead; // the start of a line whose beginning lies in an earlier chunk
    bool skipping = false;  // inside a line too long to be an entry, read backwards to its start
    while (position > 0 && newestFirst.size() < limit) {
        const qint64 length = std::min(kBackwardChunkSize, position);
        position -= length;
        if (!file.seek(position))
            break;
        QByteArray block = file.read(length);
        if (block.size() != length)
            break;
        if (skipping) {
            const qsizetype lastBreak = block.lastIndexOf('\n');
            if (lastBreak < 0)
                continue;
            block.truncate(lastBreak + 1);
            skipping = false;
        } else {
            block += partialHead;
        }
        if (position > 0) {
            const qsizetype firstBreak = block.indexOf('\n');
            if (firstBreak < 0) {
                skipping = block.size() > JsonLinesReader::kMaximumLineLength;
                partialHead = skipping ? QByteArray() : block;
                continue;
            }
            partialHead = block.left(firstBreak);
            block = block.mid(firstBreak + 1);
        } else {
            partialHead.clear();
        }
        collectBackwards(block, newestFirst, limit);
    }
    std::reverse(newestFirst.begin(), newestFirst.end());
    return newestFirst;
}

void LogService::append(LogLevel level, const QString& message)
{
    const LogEntry entry{QUuid::createUuid(), level, message, QDateTime::currentDateTimeUtc()};
    std::lock_guard guard(m_lock);
    try {
        AppPaths::ensureBaseDirectories();
        JSONLStore::append(entry, m_filePath);
    } catch (...) {
        // A lost log line must not change the outcome of the operation it describes.
    }
}

} // namespace orvalink
