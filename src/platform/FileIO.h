#pragma once

#include "platform/PlatformError.h"
#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>
#include <sys/stat.h>
#include <sys/types.h>

namespace orvalink::platform {

// Creates `path` and every missing parent. Directories this call creates get `mode` (0700 by
// default: they hold tokens and history), or on a file system without modes (FAT, exFAT) the one it
// gives every folder; existing ones are left as they are. The walk goes from
// folder descriptor to folder descriptor: each folder is made relative to its parent's descriptor,
// then opened without following a link and given its mode through that descriptor, so an entry
// swapped in at a new folder's name never has its mode changed nor redirects what follows. An
// existing symbolic link on the way is followed only when it belongs to this user or root.
// Throws PlatformError (ENOTDIR when a non-folder stands in the way, ELOOP for a link of
// another user).
void createDirectories(const QString& path, mode_t mode = 0700);

// Replaces the file at `path` with `data` in one step: a reader sees the old or the new content,
// never a mix. The data reaches the disk before the rename, and the rename before this returns.
// With `mode` the new file gets exactly that mode, whatever the umask. Throws PlatformError.
void writeFileAtomically(const QString& path, const QByteArray& data, std::optional<mode_t> mode = {});

// Appends `line` (which must end with a line feed) to the file at `path`, creating it with mode
// 0600. One write(2) on an O_APPEND descriptor, so concurrent appenders never interleave. When
// the file does not end with a line feed (an interrupted earlier append), one is written first so
// the new record starts on a line of its own. Links are followed, but only a regular file is written:
// a FIFO, device or socket there is refused (UnsuitableFileError, below). Throws PlatformError.
void appendLine(const QString& path, const QByteArray& line);

// Writes all of `data` to the open descriptor, going on after short writes and EINTR. Returns 0
// when every byte was written, else the errno of the failed write.
int writeAll(int fd, QByteArrayView data);

// A new file for writing, named `prefix` and some random characters, in `folder` (a descriptor, or
// AT_FDCWD when `prefix` is a path). It is created exclusively with mode 0666 less the umask, so an
// entry planted under the chosen name (a link among them) is never opened: another name is tried.
// `created` receives the name. An invalid descriptor and errno on failure.
UniqueFd createUniqueFile(int folder, const QByteArray& prefix, QByteArray& created);
// True when `text` is the random part createUniqueFile appends to a prefix: a 64-bit number in base
// 36, padded to 13 digits (0-9 and a-z).
bool isUniqueFileSuffix(QStringView text);

// Reads the whole regular file at `path`, following symbolic links (a store may be linked
// elsewhere). Nothing that stands there can hold the reader up: a FIFO, a device or a socket is
// refused (UnsuitableFileError, below), never read. Throws PlatformError.
QByteArray readWholeFile(const QString& path);

// Opens the regular file at `path` for reading as readWholeFile does (links followed; a FIFO,
// device or socket refused without waiting on it) and gives its fstat in `info`, for readers that
// go through a file piece by piece. Throws PlatformError (ENOENT when nothing stands there).
UniqueFd openReadableFile(const QString& path, struct stat& info);

// What stands at a path is not a regular file, or is larger than its reader allows: unlike a failed
// read, trying again later cannot help. The errno is ELOOP for a symbolic link, EISDIR for a folder,
// ENXIO for a socket, EINVAL for any other kind and EFBIG for a file over the limit.
class UnsuitableFileError : public PlatformError {
public:
    using PlatformError::PlatformError;
};

// Throws UnsuitableFileError as above, naming `path`, unless `info` is the status of a regular file.
void requireRegularFile(const struct stat& info, const QString& path);

// Opens the regular file at `path` for reading without following a symbolic link and without
// waiting on whatever stands there (O_NOFOLLOW | O_NONBLOCK), and checks that it is one. `extraFlags`
// and `mode` go to open(2) as well (O_CREAT, 0600). `info` receives its fstat. Throws
// UnsuitableFileError as above, PlatformError for any other failure.
UniqueFd openRegularFile(const QString& path, struct stat& info, int extraFlags = 0, mode_t mode = 0);

// Reads the regular file at `path`, never more than `maxBytes` of it. A symbolic link at the path
// is not followed and nothing that stands there can hold the reader up (O_NOFOLLOW | O_NONBLOCK):
// a FIFO, a device or a link to one is refused, never read. Throws UnsuitableFileError as above,
// PlatformError for any other failure (one that may pass: EIO, EACCES, EMFILE).
QByteArray readRegularFile(const QString& path, qint64 maxBytes);

// True when anything, a dangling symbolic link included, stands at `path` (lstat).
bool entryExists(const QString& path);

// True when `path` exists after following links (stat).
bool fileExists(const QString& path);

// Flushes the directory entry changes of `directory` to disk. Throws PlatformError.
void syncDirectory(const QString& directory);
// The same for the directory open as `directoryFd` (an O_PATH descriptor will do); `path` names it
// in the error.
void syncDirectory(int directoryFd, const QString& path);

} // namespace orvalink::platform

namespace orvalink::platform {

// rename(2) that never replaces what stands at `to` (renameat2 with RENAME_NOREPLACE); both paths
// must lie on one file system. Throws PlatformError (EEXIST when `to` is taken, EXDEV across
// file systems).
void renameNoReplace(const QString& from, const QString& to);

// Swaps the entries at `first` and `second` in one step (renameat2 with RENAME_EXCHANGE): both
// must exist on one file system. No instant sees either path empty. Throws PlatformError.
void exchangePaths(const QString& first, const QString& second);

struct EntryLocation;

// The same for entries already located (see VerifiedDirectory::locate): the calls run relative to
// their folders' descriptors, so nothing renamed along the paths meanwhile can redirect them.
void renameNoReplace(const EntryLocation& from, const EntryLocation& to);
void exchangePaths(const EntryLocation& first, const EntryLocation& second);

} // namespace orvalink::platform
