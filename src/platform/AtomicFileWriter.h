#pragma once

#include "platform/EntryIdentity.h"
#include "platform/EntryLocation.h"
#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <sys/stat.h>
#include <sys/types.h>

namespace orvalink::platform {

// Writes the new content of a file piece by piece under a temporary name beside it, then puts it
// in place in one step: a reader of the path sees the old content or the new, never a mix, and a
// writer that fails or is dropped before commit() leaves the old file as it was.
//
// Every step that can lose data is checked: each write(2), the flush to disk (fsync) and the close.
// A full or read-only disk, a quota or an I/O error therefore fails the write, the seal or the
// commit, never the file: the old content stays untouched and the temporary file is removed. Only
// content that is whole on disk is ever renamed over the path.
//
// A symbolic link at the path is followed (a store may be linked elsewhere): the file replaced is the
// one a reader's open() of the path reaches (see locateLinkedFile), and the link stays. Only a regular
// file is replaced, or a missing one created: a folder, a device, a FIFO or a socket reached there is
// refused when the writer is made and again at commit() (UnsuitableFileError with its path, see
// requireRegularFile), and stays as it was.
//
// The temporary file "<final name>.<random>" is held (see HeldFiles.h) from its creation until it is
// renamed into place or removed, so that a later start can tell one this writer left when it was
// killed from one a live writer is filling.
class AtomicFileWriter {
public:
    // With `mode` the new file gets exactly that mode, whatever the umask; without, it keeps the
    // mode of the file it replaces (0666 less the umask for a new file). An existing file that this
    // process may not write is not replaced (EACCES), nor anything but a regular file. Throws
    // PlatformError.
    explicit AtomicFileWriter(const QString& path, std::optional<mode_t> mode = {});
    // Removes the temporary file unless commit() put it in place.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Throws PlatformError; the old file stays and the writer is spent.
    void write(QByteArrayView bytes);
    // Writes what is still buffered, flushes the new content to disk and closes it: from here on
    // it is whole under its temporary name, and commit() only renames. For callers that replace
    // several files together and want every content on disk before the first one is put in place.
    // Throws PlatformError; the old file stays and the writer is spent.
    void seal();
    // Seals (unless done), renames over the path and flushes the folder. Throws PlatformError; when
    // the rename failed the old file stays. A failed flush of the folder throws too, though the new
    // content is then in place (isCommitted()) and may not survive a crash.
    void commit();
    bool isCommitted() const { return m_committed; }
    // The new file itself: once committed, the file at the path until something else replaces it.
    const EntryIdentity& identity() const { return m_identity; }

private:
    // The status of the file the commit would replace; none when nothing stands there. Throws
    // UnsuitableFileError for anything but a regular file.
    std::optional<struct stat> replacedFile() const;
    void flushBuffer();
    void writeNow(QByteArrayView bytes);
    [[noreturn]] void fail(int errorNumber, const QString& what);
    void discard();

    // The folder that really holds the file, and the file's name there.
    EntryLocation m_final;
    QByteArray m_temporaryName;
    UniqueFd m_fd;
    // Another descriptor of the temporary file, open until it is renamed or removed: its lock
    // outlives the close that seal() makes.
    UniqueFd m_hold;
    EntryIdentity m_identity{};
    QByteArray m_buffer;
    bool m_sealed = false;
    bool m_committed = false;
};

} // namespace orvalink::platform
