#include "viewmodel/history/HistoryFileFollower.h"

#include "store/JsonLinesReader.h"

#include <algorithm>

namespace orvalink {

namespace {

// How much of the end of what was read is compared with the file again. A rewrite renames a new
// file over the path and is told by its identity; this catches a file changed in place.
constexpr qint64 kCheckedBytes = 4096;

} // namespace

void JsonLinesFollower::reset()
{
    m_path.clear();
    m_identity.reset();
    m_committed = 0;
    m_lastBytes.clear();
}

JsonLinesFollower::Update JsonLinesFollower::read(const QString& path, const std::function<void()>& restart,
                                                  const std::function<void(const QByteArray&)>& line)
{
    Update update;
    std::optional<JsonLinesReader> reader;
    if (path == m_path && m_identity) {
        reader = JsonLinesReader::open(path, m_committed);
        const bool continues =
            reader && reader->identity() == *m_identity && reader->end() >= m_committed &&
            reader->readRaw(m_committed - m_lastBytes.size(), m_lastBytes.size()) == m_lastBytes;
        if (!continues)
            reader.reset();
    }
    if (!reader) {
        reset();
        m_path = path;
        update.restarted = true;
        restart();
        reader = JsonLinesReader::open(path);
        if (!reader)
            return update; // no file: no lines, and the next read starts over
    }

    JsonLinesReader::Line next;
    while (reader->next(next)) {
        if (next.overlong)
            continue;
        if (!next.finished) {
            update.unfinishedLine = next.text;
            break;
        }
        line(next.text);
    }
    m_identity = reader->identity();
    m_committed = reader->committed();
    const qint64 checked = std::min(m_committed, kCheckedBytes);
    m_lastBytes = reader->readRaw(m_committed - checked, checked);
    return update;
}

} // namespace orvalink
