#pragma once

#include "platform/FileTail.h"
#include "store/JSONLStore.h"
#include "store/NewestRecords.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>

namespace orvalink {

// Follows one JSON-lines file between reads: a read hands over only the lines added since the
// previous one, and starts over whenever the file is another file (a rewrite replaces it), is
// shorter than what was read, or no longer ends what was read with the same bytes. Lines go by
// one at a time (JsonLinesReader), so a first read of a long file holds no more than a line.
class JsonLinesFollower {
public:
    struct Update {
        // The earlier lines no longer hold: everything read before was dropped (see read()).
        bool restarted = false;
        // A last line without its line feed (being written, or cut off); read again next time.
        std::optional<QByteArray> unfinishedLine;
    };

    // Calls `restart` first when the earlier lines no longer hold, then `line` with each new
    // complete line, trimmed (blank and overlong lines left out). A missing file restarts with no
    // lines. Throws platform::PlatformError.
    Update read(const QString& path, const std::function<void()>& restart,
                const std::function<void(const QByteArray&)>& line);
    void reset();

private:
    QString m_path;
    std::optional<platform::FileIdentity> m_identity;
    // Length of the complete lines read so far, and the bytes that end them.
    qint64 m_committed = 0;
    QByteArray m_lastBytes;
};

// The newest records of a history file and how many it holds, kept between reads: each read
// decodes only what was appended since the previous one and gives what a whole read would (lines
// that do not decode skipped; newest first by KeyOf, equal keys in file order), without holding the
// records beyond the newest `limit`. A file that cannot be read gives nothing. Reads of one
// follower may come from any thread, one at a time.
template <typename Record, typename KeyOf> class HistoryFileFollower {
public:
    struct Newest {
        QList<Record> records; // newest first, at most the limit
        qint64 count = 0;      // records in the file
    };

    explicit HistoryFileFollower(qsizetype limit) : m_newest(limit) {}

    Newest read(const QString& path)
    {
        std::lock_guard guard(m_mutex);
        try {
            const JsonLinesFollower::Update update = m_lines.read(
                path, [this] { m_newest.clear(); },
                [this](const QByteArray& line) {
                    if (auto record = JSONLStore::decodeLine<Record>(line))
                        m_newest.offer(std::move(*record));
                });
            if (update.unfinishedLine) {
                if (auto record = JSONLStore::decodeLine<Record>(*update.unfinishedLine)) {
                    NewestRecords<Record, KeyOf> withLast = m_newest;
                    withLast.offer(std::move(*record));
                    return {withLast.newestFirst(), withLast.offered()};
                }
            }
            return {m_newest.newestFirst(), m_newest.offered()};
        } catch (const std::exception&) {
            m_lines.reset();
            m_newest.clear();
            return {};
        }
    }

private:
    std::mutex m_mutex;
    JsonLinesFollower m_lines;
    NewestRecords<Record, KeyOf> m_newest;
};

} // namespace orvalink
