#pragma once

#include <QByteArray>
#include <vector>

// The files registered with an io_uring instance (IORING_REGISTER_FILES): the ring holds them open
// and the program reads and writes them through it after it closed their descriptors, so no
// descriptor of the program shows them. The fdinfo of a descriptor of the ring names them.
namespace orvalink::platform {

// The link text of a descriptor of an io_uring instance.
inline const QByteArray kRingLinkText = "anon_inode:[io_uring]";

struct RingFiles {
    enum class Named {
        all,
        // The kernel prints the files only when it takes the ring's lock without waiting: another
        // thread of the program held it (it prints nothing of the ring then, or the count alone).
        notWhileBusy,
        // Some are named otherwise than by a path: older kernels print the last part of the name
        // only, and a file outside the reader's root has no path from it.
        notByPath,
    };
    Named named = Named::all;
    // The paths of the files named, escapes decoded, as the kernel reports them: " (deleted)"
    // appended for a removed name. Pipes, sockets and other files without a path are left out.
    std::vector<QByteArray> paths;
};

// What the text of the fdinfo of a ring descriptor tells: after "UserFiles:\t<count>", one line
// "<index>: <path>" per registered file, with space, tab, line feed and backslash in the path
// written as "\ooo". A table registered empty ahead of use (a sparse one) reads like a busy one where
// the kernel prints the count while another holds the lock. Never throws.
RingFiles ringFilesIn(const QByteArray& fdinfo);

// The files registered with the ring that the descriptor `descriptor` of the thread folder `threadFd`
// (/proc/<pid>/task/<tid>, or /proc/<pid>) is, asked again a few times, a millisecond apart, while
// the ring is busy. A descriptor closed meanwhile (or no longer a ring) holds none. Never throws.
RingFiles registeredFiles(int threadFd, const char* descriptor);

} // namespace orvalink::platform
