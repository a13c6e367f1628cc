#pragma once

#include <QByteArrayView>
#include <QString>
#include <memory>
#include <optional>
#include <sys/types.h>

class QSaveFile;

namespace orvalink::platform {

// Writes the new content of a file piece by piece under a temporary name beside it, then puts it
// in place in one step: a reader of the path sees the old content or the new, never a mix, and a
// writer that fails or is dropped before commit() leaves the old file as it was. The data reaches
// the disk before the rename, and the rename before commit() returns.
class AtomicFileWriter {
public:
    // With `mode` the new file gets exactly that mode, whatever the umask. Throws PlatformError.
    explicit AtomicFileWriter(const QString& path, std::optional<mode_t> mode = {});
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Throws PlatformError; the old file stays.
    void write(QByteArrayView bytes);
    // Flushes, renames over the path and flushes the folder. Throws PlatformError.
    void commit();

private:
    QString m_path;
    std::unique_ptr<QSaveFile> m_file;
};

} // namespace orvalink::platform
