#include "platform/ProcessThreads.h"

#include "platform/UniqueFd.h"

#include <array>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/kcmp.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace orvalink::platform {

namespace {

struct SharedPart {
    int kcmpType;
    ThreadPart part;
};

constexpr std::array<SharedPart, 3> kSharedParts{
    {{KCMP_FS, fileSystemView}, {KCMP_FILES, descriptors}, {KCMP_VM, memory}}};

enum class Comparison { shared, apart, unreadable, unknown };

Comparison compare(pid_t first, pid_t second, int kcmpType)
{
    const long answer = ::syscall(SYS_kcmp, first, second, kcmpType, 0, 0);
    if (answer == 0)
        return Comparison::shared;
    // A thread that ended meanwhile shares nothing any more.
    if (answer > 0 || errno == ESRCH)
        return Comparison::apart;
    // Refused for these threads, or for every one (a sandbox): only our own tables tell which.
    if (errno == EPERM && ::syscall(SYS_kcmp, ::getpid(), ::getpid(), KCMP_FILES, 0, 0) == 0)
        return Comparison::unreadable;
    return Comparison::unknown;
}

// For each part, the threads visited so far that hold one of their own.
struct PartHolders {
    std::array<std::vector<pid_t>, kSharedParts.size()> threads;
    bool comparable = true;
    // A thread shared the memory of one before it: all threads of a process do, but a first one
    // that ended while the others go on (it has none left) and one that is ending.
    bool memoryShared = false;
};

// The parts of `thread` that no thread in `holders` shares, which it joins for them; none at all
// when we may not read it.
std::optional<unsigned> partsOfItsOwn(pid_t thread, PartHolders& holders)
{
    unsigned parts = 0;
    for (size_t index = 0; index < kSharedParts.size(); ++index) {
        const SharedPart& kind = kSharedParts[index];
        if (kind.part == memory && holders.memoryShared)
            continue;
        bool own = true;
        for (const pid_t other : holders.threads[index]) {
            if (!holders.comparable)
                break;
            const Comparison comparison = compare(other, thread, kind.kcmpType);
            if (comparison == Comparison::unreadable)
                return std::nullopt;
            holders.comparable = comparison != Comparison::unknown;
            if (comparison == Comparison::shared) {
                own = false;
                holders.memoryShared = holders.memoryShared || kind.part == memory;
                break;
            }
        }
        if (!holders.comparable) {
            own = kind.part != memory;
        } else if (own) {
            holders.threads[index].push_back(thread);
        }
        if (own)
            parts |= kind.part;
    }
    return parts;
}

} // namespace

std::optional<pid_t> processIdFromName(const char* name)
{
    pid_t pid = 0;
    for (const char* c = name; *c; ++c) {
        if (*c < '0' || *c > '9')
            return std::nullopt;
        pid = pid * 10 + (*c - '0');
    }
    return pid > 0 ? std::optional<pid_t>(pid) : std::nullopt;
}

bool forEachThread(int processFd, const std::function<bool(int threadFd, unsigned parts)>& visit)
{
    // The kernel counts the threads into the links of the "task" folder, beside its own two: most
    // processes run one, and need no listing.
    struct stat tasks {};
    if (::fstatat(processFd, "task", &tasks, 0) == 0 && tasks.st_nlink == 3)
        return visit(processFd, allThreadParts);
    // Nor need the threads of a program that is not ours to read be listed: none answers.
    char cwd;
    if (::readlinkat(processFd, "cwd", &cwd, 1) < 0 && errno == EACCES)
        return visit(processFd, allThreadParts);
    const int folder = ::openat(processFd, "task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = folder >= 0 ? ::fdopendir(folder) : nullptr;
    if (!listing) {
        if (folder >= 0)
            ::close(folder);
        return visit(processFd, allThreadParts);
    }
    PartHolders holders;
    bool goOn = true;
    while (goOn) {
        const dirent* entry = ::readdir(listing);
        if (!entry)
            break;
        const std::optional<pid_t> thread = processIdFromName(entry->d_name);
        if (!thread)
            continue;
        const std::optional<unsigned> parts = partsOfItsOwn(*thread, holders);
        // Nor are the other threads of a program that is not ours to read.
        if (!parts)
            break;
        if (*parts == 0)
            continue;
        const UniqueFd threadFd(
            ::openat(::dirfd(listing), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (threadFd.isValid())
            goOn = visit(threadFd.get(), *parts);
    }
    ::closedir(listing);
    return goOn;
}

} // namespace orvalink::platform
