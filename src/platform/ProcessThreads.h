#pragma once

#include <functional>
#include <optional>
#include <sys/types.h>

// The threads of a process, as /proc shows them. A thread may hold its own working and root
// directories (after unshare(CLONE_FS)) and its own descriptor table (after unshare(CLONE_FILES)),
// which the process's own folder does not show: only the thread's folder does.
namespace orvalink::platform {

// What a thread's folder (/proc/<pid>/task/<tid>) shows of what it holds.
enum ThreadPart : unsigned {
    fileSystemView = 1, // its working and root directories
    descriptors = 2,    // its descriptor table (fd, fdinfo)
    memory = 4,         // its executable and its memory map
    allThreadParts = fileSystemView | descriptors | memory,
};

// The number a folder of /proc is named by ("1234"); none for any other name.
std::optional<pid_t> processIdFromName(const char* name);

// Calls `visit(threadFd, parts)` with the folder of each thread of the process whose folder is
// `processFd` (opened, O_DIRECTORY), and with those parts of it that no thread visited before
// shares, until `visit` answers false; threads that share every part are passed over. So a program
// with hundreds of threads is read once, plus the threads that hold something of their own.
// kcmp(2) tells what threads share. Where the kernel or a sandbox refuses it, every thread's
// working directories and descriptors are visited, and the memory (which all threads of a process
// share) of the first one only. A thread whose tables kcmp may not compare is one whose folder we
// may not read either: it is passed over, with the threads after it (a program is ours to read or
// not). A process whose threads cannot be listed is visited as one thread, through `processFd`.
// Answers false when `visit` stopped it. Never throws.
bool forEachThread(int processFd, const std::function<bool(int threadFd, unsigned parts)>& visit);

} // namespace orvalink::platform
