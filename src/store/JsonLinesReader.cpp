#include "store/JsonLinesReader.h"

#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "store/JSONLStore.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink {

namespace {

constexpr qint64 kChunkSize = 128 * 1024;

// Up to `length` bytes at `offset`; fewer only at the end of the file.
QByteArray readAt(int fd, const QString& path, qint64 offset, qint64 length)
{
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    qint64 got = 0;
    while (got < length) {
        const ssize_t count = ::pread(fd, bytes.data() + got, size_t(length - got), off_t(offset + got));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throw platform::PlatformError::fromErrno(errno, path);
        }
        if (count == 0)
            break;
        got += count;
    }
    bytes.truncate(qsizetype(got));
    return bytes;
}

} // namespace

std::optional<JsonLinesReader> JsonLinesReader::open(const QString& path, qint64 offset,
                                                     qsizetype maximumLineLength)
{
    std::lock_guard guard(JSONLStore::fileLock(path));
    struct stat info {};
    platform::UniqueFd fd;
    try {
        fd = platform::openReadableFile(path, info);
    } catch (const platform::PlatformError& error) {
        if (error.errorNumber() == ENOENT)
            return std::nullopt;
        throw;
    }
    const platform::FileIdentity identity{quint64(info.st_dev), quint64(info.st_ino)};
    const qint64 end = qint64(info.st_size);
    return JsonLinesReader(path, std::move(fd), identity, end, std::clamp<qint64>(offset, 0, end),
                           maximumLineLength);
}

JsonLinesReader::JsonLinesReader(QString path, platform::UniqueFd fd, platform::FileIdentity identity,
                                 qint64 end, qint64 offset, qsizetype maximumLineLength)
    : m_path(std::move(path)), m_fd(std::move(fd)), m_identity(identity), m_end(end),
      m_maximumLineLength(maximumLineLength), m_chunkOffset(offset), m_committed(offset)
{}

bool JsonLinesReader::fill()
{
    const qint64 from = m_chunkOffset + m_chunk.size();
    if (from >= m_end)
        return false;
    QByteArray chunk = readAt(m_fd.get(), m_path, from, std::min(kChunkSize, m_end - from));
    if (chunk.isEmpty()) {
        m_end = from; // cut short in place by another program: what is there is all there is
        return false;
    }
    m_chunk = std::move(chunk);
    m_chunkOffset = from;
    m_chunkIndex = 0;
    return true;
}

bool JsonLinesReader::next(Line& line)
{
    for (;;) {
        const qint64 start = position();
        bool overlong = false;
        bool finished = false;
        m_pending.resize(0);
        for (;;) {
            if (m_chunkIndex == m_chunk.size() && !fill())
                break;
            const char* data = m_chunk.constData() + m_chunkIndex;
            const qsizetype available = m_chunk.size() - m_chunkIndex;
            const auto* feed = static_cast<const char*>(std::memchr(data, '\n', size_t(available)));
            const qsizetype length = feed ? qsizetype(feed - data) : available;
            if (!overlong && m_pending.size() + length > m_maximumLineLength) {
                overlong = true;
                m_pending.resize(0);
            }
            if (!overlong)
                m_pending.append(data, length);
            m_chunkIndex += length;
            if (feed) {
                ++m_chunkIndex;
                finished = true;
                break;
            }
        }
        if (position() == start)
            return false;
        if (finished)
            m_committed = position();
        line.offset = start;
        line.end = position();
        line.overlong = overlong;
        line.finished = finished;
        line.text = overlong ? QByteArray() : m_pending.trimmed();
        if (overlong || !line.text.isEmpty())
            return true;
        if (!finished)
            return false;
    }
}

QByteArray JsonLinesReader::readRaw(qint64 from, qint64 length) const
{
    from = std::clamp<qint64>(from, 0, m_end);
    return readAt(m_fd.get(), m_path, from, std::clamp<qint64>(length, 0, m_end - from));
}

std::optional<QByteArray> JsonLinesReader::lineAt(qint64 offset) const
{
    QByteArray line;
    for (qint64 at = offset; at < m_end;) {
        const QByteArray chunk = readRaw(at, std::min(kChunkSize, qint64(m_maximumLineLength) + 1));
        if (chunk.isEmpty())
            break;
        const qsizetype feed = chunk.indexOf('\n');
        line += feed < 0 ? chunk : chunk.left(feed);
        if (line.size() > m_maximumLineLength)
            return std::nullopt;
        if (feed >= 0)
            break;
        at += chunk.size();
    }
    return line.trimmed();
}

} // namespace orvalink
