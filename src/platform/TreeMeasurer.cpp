#include "platform/TreeMeasurer.h"

#include <QFile>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace orvalink::platform {

namespace {

// Big enough that a directory of several thousand entries is read in one call.
constexpr size_t kMeasureDirentBytes = 128 * 1024;
constexpr int kMaximumThreads = 16;
constexpr int kOpenDirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Only what the total needs: the kernel may skip the rest.
constexpr unsigned kMeasureStatxMask = STATX_TYPE | STATX_SIZE | STATX_BLOCKS;

// An open directory. Its children wait on the stack by name and are opened relative to it, so the
// kernel resolves one component per open; the last child to be opened closes it.
struct OpenDirectory {
    OpenDirectory(int descriptor, std::string fullPath, std::atomic<int>& openCount)
        : fd(descriptor), path(std::move(fullPath)), live(openCount)
    {
        live.fetch_add(1, std::memory_order_relaxed);
    }
    ~OpenDirectory()
    {
        ::close(fd);
        live.fetch_sub(1, std::memory_order_relaxed);
    }
    OpenDirectory(const OpenDirectory&) = delete;
    OpenDirectory& operator=(const OpenDirectory&) = delete;
    int fd;
    std::string path;
    std::atomic<int>& live;
};

struct PendingDirectory {
    std::shared_ptr<OpenDirectory> parent; // none: `name` is a full path
    std::string name;
    std::uint32_t root = 0;
    bool isRoot = false;
};

// The directories still to be read, shared by every walker. Last in, first out: the walk goes deep
// first, which keeps the number of open parents near depth times threads.
class SharedStack {
public:
    SharedStack(std::vector<PendingDirectory> roots, const CancellationToken& cancellation)
        : m_items(std::move(roots)), m_cancellation(cancellation)
    {}

    // Hands over the children found in the directory just finished (when `finishedOne`) and takes the
    // next directory. False when the walk is over: nothing left anywhere, cancelled or failed.
    bool exchange(std::vector<PendingDirectory>& children, bool finishedOne, PendingDirectory& next)
    {
        std::unique_lock lock(m_mutex);
        for (auto& child : children)
            m_items.push_back(std::move(child));
        children.clear();
        if (finishedOne)
            --m_busy;
        if (!m_items.empty() && m_waiting > 0)
            m_wake.notify_all();
        for (;;) {
            if (m_stopped || m_cancellation.isCancelled()) {
                stopLocked();
                return false;
            }
            if (!m_items.empty()) {
                next = std::move(m_items.back());
                m_items.pop_back();
                ++m_busy;
                return true;
            }
            if (m_busy == 0) {
                stopLocked();
                return false;
            }
            ++m_waiting;
            m_wake.wait(lock);
            --m_waiting;
        }
    }

    void fail(std::exception_ptr error)
    {
        std::lock_guard lock(m_mutex);
        if (!m_error)
            m_error = std::move(error);
        stopLocked();
    }

    std::exception_ptr error() const { return m_error; }

private:
    void stopLocked()
    {
        m_stopped = true;
        m_items.clear();
        m_wake.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<PendingDirectory> m_items;
    const CancellationToken& m_cancellation;
    std::exception_ptr m_error;
    int m_busy = 0;
    int m_waiting = 0;
    bool m_stopped = false;
};

struct WalkState {
    SharedStack stack;
    const TreeWalkOptions& options;
    std::vector<char> rootOpened; // one writer per element: the walker that opens that root
    std::atomic<int> openDirectories{0};
};

bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

class Walker {
public:
    Walker(WalkState& state, size_t rootCount) : m_state(state), m_totals(rootCount, 0) {}

    void run()
    {
        try {
            PendingDirectory current;
            std::vector<PendingDirectory> children;
            bool finishedOne = false;
            while (m_state.stack.exchange(children, finishedOne, current)) {
                read(current, children);
                finishedOne = true;
            }
        } catch (...) {
            m_state.stack.fail(std::current_exception());
        }
    }

    const std::vector<qint64>& totals() const { return m_totals; }

private:
    void read(const PendingDirectory& item, std::vector<PendingDirectory>& children)
    {
        const int parentFd = item.parent ? item.parent->fd : AT_FDCWD;
        const int fd = ::openat(parentFd, item.name.c_str(), kOpenDirectoryFlags);
        if (fd < 0)
            return;
        auto directory = std::make_shared<OpenDirectory>(
            fd, item.parent ? item.parent->path + '/' + item.name : item.name, m_state.openDirectories);
        if (item.isRoot)
            m_state.rootOpened[item.root] = 1;
        // Waiting children keep their parent open. Past the budget they wait by full path instead, so
        // a deep and bushy tree never runs the process out of descriptors.
        const bool byPath =
            m_state.openDirectories.load(std::memory_order_relaxed) > m_state.options.openDirectoryBudget;
        if (!m_buffer)
            m_buffer = std::make_unique<char[]>(kMeasureDirentBytes);

        const bool includeHidden = m_state.options.includeHidden;
        qint64 total = 0;
        for (;;) {
            const ssize_t count = ::getdents64(fd, m_buffer.get(), kMeasureDirentBytes);
            if (count <= 0)
                break; // end of directory, or a read error: what was read so far still counts
            if (m_state.options.cancellation.isCancelled())
                break;
            for (ssize_t offset = 0; offset < count;) {
                const auto* entry = reinterpret_cast<const struct dirent64*>(m_buffer.get() + offset);
                offset += entry->d_reclen;
                const char* name = entry->d_name;
                if (name[0] == '.' && (!includeHidden || isDotOrDotDot(name)))
                    continue;
                unsigned char type = entry->d_type;
                struct statx info {};
                if (type == DT_REG || type == DT_UNKNOWN) {
                    if (::statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, kMeasureStatxMask,
                                &info) != 0)
                        continue;
                    if (S_ISREG(info.stx_mode)) {
                        total += std::max<qint64>(qint64(info.stx_size), qint64(info.stx_blocks) * 512);
                        continue;
                    }
                    type = S_ISDIR(info.stx_mode) ? DT_DIR : DT_UNKNOWN;
                }
                if (type == DT_DIR) {
                    if (byPath)
                        children.push_back(
                            PendingDirectory{nullptr, directory->path + '/' + name, item.root});
                    else
                        children.push_back(PendingDirectory{directory, std::string(name), item.root});
                }
            }
        }
        m_totals[item.root] += total;
    }

    WalkState& m_state;
    std::vector<qint64> m_totals;
    std::unique_ptr<char[]> m_buffer;
};

} // namespace

std::vector<std::optional<qint64>> measureTrees(const QStringList& roots, const TreeWalkOptions& options)
{
    if (options.cancellation.isCancelled())
        throw WalkCancelled();
    if (roots.isEmpty())
        return {};
    std::vector<PendingDirectory> pending;
    pending.reserve(static_cast<size_t>(roots.size()));
    for (qsizetype i = 0; i < roots.size(); ++i)
        pending.push_back(
            PendingDirectory{nullptr, QFile::encodeName(roots[i]).toStdString(), std::uint32_t(i), true});
    // Roots are taken from the back; reversing lets the first root start first.
    std::reverse(pending.begin(), pending.end());

    WalkState state{SharedStack(std::move(pending), options.cancellation), options,
                    std::vector<char>(static_cast<size_t>(roots.size()), 0)};
    const int threadCount = std::clamp(options.threads, 1, kMaximumThreads);
    std::vector<std::unique_ptr<Walker>> walkers;
    for (int i = 0; i < threadCount; ++i)
        walkers.push_back(std::make_unique<Walker>(state, static_cast<size_t>(roots.size())));

    std::vector<std::thread> threads;
    for (int i = 1; i < threadCount; ++i) {
        try {
            threads.emplace_back(&Walker::run, walkers[static_cast<size_t>(i)].get());
        } catch (const std::system_error&) {
            break; // fewer threads only make the walk slower, never wrong
        }
    }
    walkers.front()->run();
    for (auto& thread : threads)
        thread.join();

    if (const auto error = state.stack.error())
        std::rethrow_exception(error);
    if (options.cancellation.isCancelled())
        throw WalkCancelled();

    std::vector<std::optional<qint64>> results(static_cast<size_t>(roots.size()));
    for (size_t root = 0; root < results.size(); ++root) {
        if (!state.rootOpened[root])
            continue;
        qint64 sum = 0;
        for (const auto& walker : walkers)
            sum += walker->totals()[root];
        results[root] = sum;
    }
    return results;
}

} // namespace orvalink::platform
