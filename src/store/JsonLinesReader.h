#pragma once

#include "platform/FileTail.h"
#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace orvalink {

// Goes through a JSON-lines file one line at a time, holding one chunk of the file and at most one
// line in memory whatever the file's length.
//
// The reader reads the file it opened up to the length that file had then. It opens under the
// file's lock (JSONLStore::fileLock), so that length never cuts through an append of this process;
// whatever is appended later is left for the next reader, and a file renamed over the path
// meanwhile (a rewrite) is not seen: the old file is read to its end, whole and unmixed.
//
// Lines are given trimmed of white space (so a CRLF line reads as its LF form), blank ones left
// out. A line longer than the limit is not kept: it is reported as overlong, without its text, so
// that a reader of records skips it and a rewriter can copy it through. The last line of a file
// that does not end in a line feed is reported as unfinished: it may be a record written without
// its line feed, or an append cut short or still being written.
class JsonLinesReader {
public:
    // No record this system writes comes near this (two paths of at most 4096 bytes each, even
    // with every byte escaped); a longer line is damage, not a record.
    static constexpr qsizetype kMaximumLineLength = qsizetype(1) << 20;

    struct Line {
        QByteArray text;       // trimmed; empty for an overlong line
        qint64 offset = 0;     // where the line starts in the file
        qint64 end = 0;        // just past its line feed, or where the read file ends
        bool overlong = false; // longer than the limit: its bytes were passed over
        bool finished = true;  // ended by a line feed
    };

    // Opens the regular file at `path` (links followed) and starts at `offset`, which is taken to
    // be the start of a line. None when nothing stands at the path. Throws platform::PlatformError.
    static std::optional<JsonLinesReader> open(const QString& path, qint64 offset = 0,
                                               qsizetype maximumLineLength = kMaximumLineLength);

    // The next line that is not blank; false at the end. Throws platform::PlatformError.
    bool next(Line& line);

    const platform::FileIdentity& identity() const { return m_identity; }
    // The length of the file when it was opened: where reading ends.
    qint64 end() const { return m_end; }
    // Just past the last line feed read so far: where a later read of the grown file goes on.
    qint64 committed() const { return m_committed; }

    // The bytes [from, from + length) of the opened file, as far as it reaches. Throws
    // platform::PlatformError.
    QByteArray readRaw(qint64 from, qint64 length) const;
    // The line that starts at `offset`, trimmed; none when it is longer than the limit.
    std::optional<QByteArray> lineAt(qint64 offset) const;

private:
    JsonLinesReader(QString path, platform::UniqueFd fd, platform::FileIdentity identity, qint64 end,
                    qint64 offset, qsizetype maximumLineLength);
    // Reads the next chunk; false at the end.
    bool fill();
    qint64 position() const { return m_chunkOffset + m_chunkIndex; }

    QString m_path;
    platform::UniqueFd m_fd;
    platform::FileIdentity m_identity;
    qint64 m_end = 0;
    qsizetype m_maximumLineLength = kMaximumLineLength;
    QByteArray m_chunk;
    qint64 m_chunkOffset = 0;
    qsizetype m_chunkIndex = 0;
    qint64 m_committed = 0;
    QByteArray m_pending; // the line being gathered, kept to reuse its buffer
};

} // namespace orvalink
