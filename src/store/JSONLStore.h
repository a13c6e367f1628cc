#pragma once

#include "model/JsonFields.h"
#include "store/JsonLinesReader.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <mutex>
#include <optional>
#include <type_traits>

// JSON-lines files: one compact JSON object per line, each ended by a line feed.
//
// Every write to one file runs under that file's lock (one per path in this process), so a
// migration appending while an undo rewrites never loses a record. Reading goes line by line
// through JsonLinesReader, so a history of any length costs memory for what the caller keeps, not
// for the file: a line that is not UTF-8, does not decode or is overlong costs only itself.
// Rewrites start from the raw lines, so a line this version cannot decode (a record of a newer
// version, say) survives them.
namespace orvalink::JSONLStore {

// The recursive lock of one file; hold it to make several operations on the file one step.
std::recursive_mutex& fileLock(const QString& path);

// Appends one line (a line feed is added), creating the file's folder (0700) and the file.
void appendLine(const QString& path, const QByteArray& line);

// Replaces the whole file atomically with the given lines (each gets a line feed).
void writeLines(const QString& path, const QList<QByteArray>& lines);

// Rewrites the file line by line into a new file that then replaces it atomically, leaving out
// the lines for which `drop` is true. Overlong lines are kept as they are, without asking. Holds
// the file's lock throughout, so no append is lost. Returns how many lines were dropped; nothing
// is written when none was. Throws platform::PlatformError (the old file then stays).
qsizetype rewriteWithout(const QString& path, const std::function<bool(const QByteArray& line)>& drop);

// One record as a line (without its line feed): compact JSON in which each "/" inside a string is
// written as the escape "\/". Readers accept the escaped and the plain form alike.
QByteArray encodeLine(const QJsonObject& object);

// Decodes one line: none when it is not valid UTF-8 (the JSON parser refuses that), not one JSON
// object, or not a record.
template <typename Record> std::optional<Record> decodeLine(const QByteArray& line)
{
    try {
        return Record::fromJson(json::parseObject(line));
    } catch (const json::DecodeError&) {
        return std::nullopt;
    }
}

template <typename Record> void append(const Record& record, const QString& path)
{
    appendLine(path, encodeLine(record.toJson()));
}

// Hands the file's records to `visit` one at a time, in file order (the last line counts even
// without its line feed). When `visit` returns bool, false stops the read. A missing file has no
// records. Throws platform::PlatformError when an existing file cannot be read.
template <typename Record, typename Visit> void forEachRecord(const QString& path, Visit&& visit)
{
    auto reader = JsonLinesReader::open(path);
    if (!reader)
        return;
    JsonLinesReader::Line line;
    while (reader->next(line)) {
        if (line.overlong)
            continue;
        auto record = decodeLine<Record>(line.text);
        if (!record)
            continue;
        if constexpr (std::is_same_v<std::invoke_result_t<Visit&, Record&&>, bool>) {
            if (!visit(std::move(*record)))
                return;
        } else {
            visit(std::move(*record));
        }
    }
}

// Every record of the file, in file order. For files whose records are all wanted at once; the
// history of the window goes through forEachRecord with a bounded selection instead.
template <typename Record> QList<Record> loadAll(const QString& path)
{
    QList<Record> records;
    forEachRecord<Record>(path, [&](Record&& record) { records.append(std::move(record)); });
    return records;
}

// Replaces the file with exactly these records; an empty list leaves an empty file.
template <typename Record> void writeAll(const QList<Record>& records, const QString& path)
{
    QList<QByteArray> lines;
    lines.reserve(records.size());
    for (const Record& record : records)
        lines.append(encodeLine(record.toJson()));
    writeLines(path, lines);
}

// Rewrites the file without the records for which `remove` is true; every other line, decodable
// or not, stays as it was (see rewriteWithout). Returns how many records were removed.
template <typename Record>
qsizetype removeWhere(const QString& path, const std::function<bool(const Record&)>& remove)
{
    return rewriteWithout(path, [&](const QByteArray& line) {
        const auto record = decodeLine<Record>(line);
        return record && remove(*record);
    });
}

} // namespace orvalink::JSONLStore
