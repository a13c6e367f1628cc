#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QUuid>
#include <optional>

namespace orvalink {

enum class EntryKind { file, directory };

// "file", "directory"; other texts give none.
QString toText(EntryKind kind);
std::optional<EntryKind> entryKindFromText(const QString& text);

// One listed file or directory.
struct DirectoryEntry {
    QUuid id;
    QString name;
    QString path;
    EntryKind kind = EntryKind::file;
    qint64 sizeBytes = 0;
    QDateTime modifiedAt;
    std::optional<qint64> childrenCount;
    bool isSymbolicLink = false;
    bool isAliasFile = false;
    bool isHidden = false;

    bool isDirectory() const { return kind == EntryKind::directory; }

    // Raises json::DecodeError when a required key is missing or any value has the wrong type.
    static DirectoryEntry fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const DirectoryEntry&) const = default;
};

} // namespace orvalink
