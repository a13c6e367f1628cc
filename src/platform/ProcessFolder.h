#pragma once

#include "platform/TreeMembership.h"

#include <QByteArray>
#include <functional>
#include <optional>

// What one process's folder in /proc tells about it. Each function takes that folder opened
// (/proc/<pid>, O_DIRECTORY), so every read concerns the same process even while its number is
// given to another one: a process that ended answers nothing. None of them throws.
namespace orvalink::platform {

// The whole content of the file `name` of the folder; empty when it cannot be read.
QByteArray readProcessFile(int processFd, const char* name);

// The text of the link `name` of the folder; none when it cannot be read.
std::optional<QByteArray> readProcessLink(int folderFd, const char* name);

// Calls `visit` with the path of every entry the process holds (the working and root directories
// and the open files of each of its threads, its executable, its mapped files, and the files
// registered with its io_uring instances) that still has that name in the file tree, as the kernel
// reports it (links resolved), until `visit` answers false. Repeats are possible. Answers false
// when the kernel did not name every file a ring of the process holds (see RingFiles): it may hold
// anything then.
//
// The kernel appends " (deleted)" to the path of an entry whose name was removed, but a name may
// end so as well: whether an entry was removed is told by its own status instead. A descriptor
// counts while its entry has links and its reported path leads to that very entry; a mapped file
// while its reported path leads to the inode of the mapping. Descriptors of pipes and
// sockets, and anonymous mappings, have no path and are passed over.
//
// A descriptor (or working or root directory, or executable) whose name was removed while its
// entry lives on by another name (a hard link, as a log rotated by link and unlink leaves) goes to
// `visitRenamed` instead, when given, with the name it was reported at: where it lies now only its
// identity tells. Mapped files are not told so (their links cannot be counted), nor are the files
// of a ring, known by their path alone: a removed one counts while an entry stands at its path as
// reported.
//
// Out of reach: a ring whose descriptors the program closed, keeping it mapped into its memory or
// registered with itself (IORING_REGISTER_RING_FDS): only the fdinfo of a descriptor names its files.
bool forEachHeldPath(int processFd, const std::function<bool(const QByteArray& path)>& visit,
                     const std::function<void(const ReportedEntry& entry)>& visitRenamed = {});

// Calls `visit` with the identity of every entry the process holds, as above, whatever its name:
// an entry reached by another name, or removed, counts too (no tree holds the removed ones). A
// mapped file is identified by the device and inode its mapping reports and, where stat shows the
// file at the mapping's path under another device (btrfs subvolumes, overlays), by that identity as
// well. A file registered with a ring is identified by the entry at its path: one whose name was
// removed is not found, even where it lives on by another. Answers false as forEachHeldPath does.
bool forEachHeldIdentity(int processFd, const std::function<void(const EntryIdentity& identity)>& visit);

// Calls `visit` with the identity of every file the process maps shared, identified as above: what
// is written through such a mapping reaches the file. A read-only one counts too, as its protection
// may be raised to writing later. Always answers true: the mappings name every file.
bool forEachSharedMapping(int processFd, const std::function<void(const EntryIdentity& identity)>& visit);

} // namespace orvalink::platform
