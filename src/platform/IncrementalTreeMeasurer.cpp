#include "platform/IncrementalTreeMeasurer.h"

#include <QFile>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

constexpr int kRescanOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr size_t kRescanDirentBytes = 64 * 1024;
constexpr unsigned kRescanStatxMask = STATX_TYPE | STATX_SIZE | STATX_BLOCKS | STATX_CTIME;

class ScopedFd {
public:
    explicit ScopedFd(int fd) : m_fd(fd) {}
    ~ScopedFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool sameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

qint64 bytesOf(const struct statx& info)
{
    return std::max<qint64>(qint64(info.stx_size), qint64(info.stx_blocks) * 512);
}

timespec toTimespec(const struct statx_timestamp& time)
{
    return {time.tv_sec, time.tv_nsec};
}

} // namespace

IncrementalTreeMeasurer::IncrementalTreeMeasurer(QString root, int settleSeconds)
    : m_root(QFile::encodeName(root).toStdString()), m_settleSeconds(std::max(0, settleSeconds))
{}

bool IncrementalTreeMeasurer::isRecent(const timespec& time) const
{
    // The file system stamps with the coarse clock, so a time in the tick the measurement began may
    // still be followed by changes carrying that very same time.
    const timespec limit{m_startedAt.tv_sec - m_settleSeconds, m_startedAt.tv_nsec};
    return time.tv_sec > limit.tv_sec || (time.tv_sec == limit.tv_sec && time.tv_nsec >= limit.tv_nsec);
}

std::optional<qint64> IncrementalTreeMeasurer::measure(const CancellationToken& cancellation)
{
    if (cancellation.isCancelled())
        throw WalkCancelled();
    m_work = {};
    ++m_generation;
    ::clock_gettime(CLOCK_REALTIME_COARSE, &m_startedAt);
    const ScopedFd root(::open(m_root.c_str(), kRescanOpenFlags));
    struct stat info {};
    if (root.get() < 0 || ::fstat(root.get(), &info) != 0) {
        m_directories.clear();
        return std::nullopt;
    }

    qint64 total = 0;
    // Depth first with the open parents on a stack, so every child is opened relative to its parent.
    struct Frame {
        std::shared_ptr<ScopedFd> fd;
        std::string relative;
        size_t nextChild = 0;
    };
    std::vector<Frame> stack;
    auto enter = [&](int fd, std::string relative, const struct stat& status) {
        if (cancellation.isCancelled()) {
            m_directories.clear();
            throw WalkCancelled();
        }
        total += visit(fd, relative, status);
    };
    enter(root.get(), std::string(), info);
    stack.push_back({std::make_shared<ScopedFd>(::dup(root.get())), std::string(), 0});
    while (!stack.empty()) {
        Frame& top = stack.back();
        const auto found = m_directories.find(top.relative);
        if (found == m_directories.end() || top.nextChild >= found->second.subdirectories.size()) {
            stack.pop_back();
            continue;
        }
        const std::string name = found->second.subdirectories[top.nextChild++];
        auto child = std::make_shared<ScopedFd>(::openat(top.fd->get(), name.c_str(), kRescanOpenFlags));
        struct stat childInfo {};
        if (child->get() < 0 || ::fstat(child->get(), &childInfo) != 0)
            continue; // gone or unreadable: its parent's listing is renewed once the parent changes
        std::string relative = top.relative.empty() ? name : top.relative + '/' + name;
        enter(child->get(), relative, childInfo);
        stack.push_back({std::move(child), std::move(relative), 0});
    }

    std::erase_if(m_directories,
                  [this](const auto& entry) { return entry.second.generation != m_generation; });
    return total;
}

qint64 IncrementalTreeMeasurer::visit(int fd, const std::string& relative, const struct stat& info)
{
    DirectoryState& directory = m_directories[relative];
    const bool unchanged = directory.settled && directory.device == info.st_dev &&
                           directory.inode == info.st_ino && sameTime(directory.mtime, info.st_mtim) &&
                           sameTime(directory.ctime, info.st_ctim);
    directory.device = info.st_dev;
    directory.inode = info.st_ino;
    directory.mtime = info.st_mtim;
    directory.ctime = info.st_ctim;
    // Judged on the times read before the listing: a change during it leaves a newer time behind.
    directory.settled = !isRecent(info.st_mtim) && !isRecent(info.st_ctim);
    directory.generation = m_generation;
    if (unchanged)
        refreshWatched(fd, directory);
    else
        list(fd, directory);
    return directory.bytes;
}

void IncrementalTreeMeasurer::list(int fd, DirectoryState& directory)
{
    ++m_work.directoriesListed;
    std::unordered_map<std::string, FileState> previous = std::move(directory.files);
    directory.files.clear();
    directory.subdirectories.clear();
    directory.bytes = 0;
    auto buffer = std::make_unique<char[]>(kRescanDirentBytes);
    for (;;) {
        const ssize_t count = ::getdents64(fd, buffer.get(), kRescanDirentBytes);
        if (count <= 0)
            break;
        for (ssize_t offset = 0; offset < count;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(buffer.get() + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            unsigned char type = entry->d_type;
            if (type == DT_REG || type == DT_UNKNOWN) {
                struct statx status {};
                ++m_work.filesExamined;
                if (::statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, kRescanStatxMask, &status) !=
                    0)
                    continue;
                if (S_ISREG(status.stx_mode)) {
                    const qint64 bytes = bytesOf(status);
                    const auto old = previous.find(name);
                    const bool changed = old == previous.end() || old->second.bytes != bytes;
                    directory.files.emplace(
                        name, FileState{bytes, changed || isRecent(toTimespec(status.stx_ctime))});
                    directory.bytes += bytes;
                    continue;
                }
                type = S_ISDIR(status.stx_mode) ? DT_DIR : DT_UNKNOWN;
            }
            if (type == DT_DIR)
                directory.subdirectories.emplace_back(name);
        }
    }
}

void IncrementalTreeMeasurer::refreshWatched(int fd, DirectoryState& directory)
{
    for (auto it = directory.files.begin(); it != directory.files.end();) {
        FileState& file = it->second;
        if (!file.watch) {
            ++it;
            continue;
        }
        ++m_work.filesExamined;
        struct statx status {};
        if (::statx(fd, it->first.c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, kRescanStatxMask,
                    &status) != 0 ||
            !S_ISREG(status.stx_mode)) {
            // Replaced or removed without the directory's times moving: count it no more and list the
            // directory afresh next time.
            directory.bytes -= file.bytes;
            directory.settled = false;
            it = directory.files.erase(it);
            continue;
        }
        const qint64 bytes = bytesOf(status);
        file.watch = bytes != file.bytes || isRecent(toTimespec(status.stx_ctime));
        directory.bytes += bytes - file.bytes;
        file.bytes = bytes;
        ++it;
    }
}

} // namespace orvalink::platform
