#pragma once

#include "model/JsonFields.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <mutex>
#include <optional>

// JSON-lines files: one compact JSON object per line, each ended by a line feed.
//
// Every operation on one file runs under that file's lock (one per path in this process), so a
// migration appending while an undo rewrites never loses a record. Reading is line by line: a line
// that is not UTF-8 or does not decode costs only itself. Rewrites start from the raw lines, so a
// line this version cannot decode (a record of a newer version, say) survives them.
namespace orvalink::JSONLStore {

// The recursive lock of one file; hold it to make several operations on the file one step.
std::recursive_mutex& fileLock(const QString& path);

// The non-blank lines of the file, trimmed, in file order; a missing file gives none. Throws
// platform::PlatformError when an existing file cannot be read.
QList<QByteArray> readLines(const QString& path);

// Appends one line (a line feed is added), creating the file's folder (0700) and the file.
void appendLine(const QString& path, const QByteArray& line);

// Replaces the whole file atomically with the given lines (each gets a line feed).
void writeLines(const QString& path, const QList<QByteArray>& lines);

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

template <typename Record> QList<Record> loadAll(const QString& path)
{
    QList<Record> records;
    for (const QByteArray& line : readLines(path)) {
        if (auto record = decodeLine<Record>(line))
            records.append(std::move(*record));
    }
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
// or not, stays as it was. Re-reads under the file's lock, so records appended meanwhile are kept.
// Returns how many records were removed (nothing is written when none was).
template <typename Record>
qsizetype removeWhere(const QString& path, const std::function<bool(const Record&)>& remove)
{
    std::lock_guard guard(fileLock(path));
    QList<QByteArray> kept;
    qsizetype removed = 0;
    for (const QByteArray& line : readLines(path)) {
        const auto record = decodeLine<Record>(line);
        if (record && remove(*record)) {
            ++removed;
            continue;
        }
        kept.append(line);
    }
    if (removed > 0)
        writeLines(path, kept);
    return removed;
}

} // namespace orvalink::JSONLStore
