#pragma once

#include "platform/FileTail.h"
#include "store/JSONLStore.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <exception>
#include <optional>

namespace orvalink {

// Follows one JSON-lines file between reads: a read returns only the lines added since the
// previous one, and starts over whenever the file is another file (a rewrite replaces it), is
// shorter than what was read, or no longer holds the last line read where it was. Holds the file's
// lock while reading, so it never sees half an append of this process.
class JsonLinesFollower {
public:
    struct Update {
        // The earlier lines no longer hold: drop everything read before.
        bool restarted = false;
        // New complete lines, trimmed, blank ones left out.
        QList<QByteArray> lines;
        // A last line without its line feed (being written, or cut off); read again next time.
        std::optional<QByteArray> unfinishedLine;
    };

    // A missing file restarts with no lines. Throws platform::PlatformError.
    Update read(const QString& path);
    void reset();

private:
    QString m_path;
    std::optional<platform::FileIdentity> m_identity;
    // Length of the complete lines read so far, and the last of them with its line feed.
    qint64 m_committed = 0;
    QByteArray m_lastLine;
};

// The records of a history file, decoded once: each load decodes only what was appended since the
// previous one and gives the same list as JSONLStore::loadAll (lines that do not decode skipped,
// file order). A file that cannot be read gives an empty list.
template <typename Record> class HistoryFileFollower {
public:
    QList<Record> loadAll(const QString& path)
    {
        try {
            JsonLinesFollower::Update update = m_lines.read(path);
            if (update.restarted)
                m_records.clear();
            for (const QByteArray& line : update.lines) {
                if (auto record = JSONLStore::decodeLine<Record>(line))
                    m_records.append(std::move(*record));
            }
            QList<Record> result = m_records;
            if (update.unfinishedLine) {
                if (auto record = JSONLStore::decodeLine<Record>(*update.unfinishedLine))
                    result.append(std::move(*record));
            }
            return result;
        } catch (const std::exception&) {
            m_lines.reset();
            m_records.clear();
            return {};
        }
    }

private:
    JsonLinesFollower m_lines;
    QList<Record> m_records;
};

} // namespace orvalink
