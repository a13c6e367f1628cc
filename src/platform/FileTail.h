#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace orvalink::platform {

// Which file a path names. A file replaced by another one (an atomic rewrite renames a new file
// over the old) has another identity, even when its length and times look the same.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;

    bool operator==(const FileIdentity&) const = default;
};

// The end of a file from an offset on, read through one descriptor, so identity, length and bytes
// belong to the same file.
struct FileTail {
    FileIdentity identity;
    qint64 size = 0;
    // Where `bytes` begin; the requested offset, or the length when the file is shorter.
    qint64 offset = 0;
    QByteArray bytes;
};

// Reads the file at `path` (links followed) from `offset` to its end. None when nothing is there;
// throws PlatformError when it cannot be opened or read.
std::optional<FileTail> readFileTail(const QString& path, qint64 offset);

} // namespace orvalink::platform
