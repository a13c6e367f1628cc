#include "viewmodel/history/HistoryFileFollower.h"

#include <mutex>

namespace orvalink {

void JsonLinesFollower::reset()
{
    m_path.clear();
    m_identity.reset();
    m_committed = 0;
    m_lastLine.clear();
}

JsonLinesFollower::Update JsonLinesFollower::read(const QString& path)
{
    std::lock_guard guard(JSONLStore::fileLock(path));
    Update update;
    if (path != m_path || !m_identity) {
        reset();
        m_path = path;
        update.restarted = true;
    }

    // Read from the start of the last line we took, to see that it is still there.
    const qint64 lookBehind = m_lastLine.size();
    auto tail = platform::readFileTail(path, m_committed - lookBehind);
    const bool continues = tail && !update.restarted && tail->identity == *m_identity &&
                           tail->offset == m_committed - lookBehind && tail->bytes.startsWith(m_lastLine);
    QByteArray fresh;
    if (continues) {
        fresh = tail->bytes.mid(lookBehind);
    } else {
        reset();
        m_path = path;
        update.restarted = true;
        if (tail && tail->offset != 0)
            tail = platform::readFileTail(path, 0);
        if (!tail)
            return update; // no file: no lines, and the next read starts over
        fresh = tail->bytes;
    }
    m_identity = tail->identity;

    const qsizetype end = fresh.lastIndexOf('\n') + 1;
    if (end > 0) {
        const qsizetype lastStart = end >= 2 ? fresh.lastIndexOf('\n', end - 2) + 1 : 0;
        m_lastLine = fresh.mid(lastStart, end - lastStart);
        m_committed += end;
        for (const QByteArray& piece : fresh.left(end).split('\n')) {
            const QByteArray line = piece.trimmed();
            if (!line.isEmpty())
                update.lines.append(line);
        }
    }
    const QByteArray rest = fresh.mid(end).trimmed();
    if (!rest.isEmpty())
        update.unfinishedLine = rest;
    return update;
}

} // namespace orvalink
