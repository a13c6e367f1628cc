#include "platform/FileWorkPool.h"

#include "platform/UniqueFd.h"

#include <QThread>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <system_error>
#include <utility>

namespace orvalink::platform {

namespace {

constexpr int kMaxWorkers = 8;
// A batch is handed over at this many files or bytes, whichever comes first.
constexpr size_t kBatchFiles = 32;
constexpr qint64 kBatchBytes = 8 << 20;
// Batches queued ahead of the workers: enough to keep them busy, little memory on huge trees.
constexpr size_t kQueueLimit = 128;

// Descriptors the pool may hold at once: a quarter of the limit, so the rest of the application
// keeps room, and never more than help.
int descriptorBudget()
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 16;
    return int(std::clamp<rlim_t>(limit.rlim_cur / 4, 4, 128));
}

} // namespace

// A directory being worked on, and what it waits for before it is complete.
struct FileWorkPool::Directory {
    QByteArray prefix;
    struct stat info;
    int waitingFiles = 0; // queued or being worked on
    bool left = false;    // the walker is done with it
    quint64 leaveSequence = 0;
};

// Descriptors on one directory (and its destination), shared by its queued files. Counted against
// the pool's budget until the last user lets go.
struct FileWorkPool::Handles {
    Handles(FileWorkPool& owner, std::shared_ptr<Directory> of) : pool(owner), directory(std::move(of)) {}
    ~Handles()
    {
        source.reset();
        destination.reset();
        pool.releaseHandles();
    }
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;

    Place place() const { return Place{source.get(), destination.get(), directory->prefix}; }

    FileWorkPool& pool;
    std::shared_ptr<Directory> directory;
    UniqueFd source;
    UniqueFd destination;
};

struct FileWorkPool::Job {
    std::shared_ptr<Handles> handles;
    File file;
};

int FileWorkPool::defaultWorkerCount()
{
    return std::clamp(QThread::idealThreadCount(), 1, kMaxWorkers);
}

FileWorkPool::FileWorkPool(Task& task, bool withDestination, int workerCount)
    : m_task(task), m_withDestination(withDestination)
{
    // Each worker holds two file descriptors while it works, each directory in use two more.
    const int budget = descriptorBudget();
    m_workerCount = std::clamp(workerCount, 1, std::max(1, budget / 4));
    m_handleLimit = std::max(1, (budget - 2 * m_workerCount) / 2);
}

FileWorkPool::~FileWorkPool()
{
    finish();
}

void FileWorkPool::enterDirectory(const QByteArray& prefix, const struct stat& info)
{
    m_current.reset(); // the parent's descriptors stay only as long as its queued files need them
    auto directory = std::make_shared<Directory>();
    directory->prefix = prefix;
    directory->info = info;
    m_directories.push_back(std::move(directory));
}

int FileWorkPool::submitFile(int sourceDirectory, int destinationDirectory, File file)
{
    std::shared_ptr<Handles> handles = handlesFor(sourceDirectory, destinationDirectory);
    if (!handles)
        return errno;
    {
        const std::lock_guard lock(m_mutex);
        ++handles->directory->waitingFiles;
    }
    m_batchBytes += file.size;
    m_batch.push_back(Job{std::move(handles), std::move(file)});
    if (m_batch.size() >= kBatchFiles || m_batchBytes >= kBatchBytes)
        handOver();
    return 0;
}

bool FileWorkPool::leaveDirectory(quint64 sequence)
{
    m_current.reset();
    const std::shared_ptr<Directory> directory = std::move(m_directories.back());
    m_directories.pop_back();
    const std::lock_guard lock(m_mutex);
    directory->left = true;
    directory->leaveSequence = sequence;
    return directory->waitingFiles == 0;
}

void FileWorkPool::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    handOver();
    m_current.reset();
    m_directories.clear();
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_work.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

std::shared_ptr<FileWorkPool::Handles> FileWorkPool::handlesFor(int sourceDirectory, int destinationDirectory)
{
    if (m_current)
        return m_current;
    std::unique_lock lock(m_mutex);
    if (m_openHandles >= m_handleLimit) {
        // The files waiting here may hold the very descriptors this waits for.
        lock.unlock();
        handOver();
        lock.lock();
        m_room.wait(lock, [this] { return m_openHandles < m_handleLimit; });
    }
    ++m_openHandles;
    lock.unlock();
    auto handles = std::make_shared<Handles>(*this, m_directories.back());
    handles->source = duplicateFd(sourceDirectory);
    if (handles->source.isValid() && m_withDestination)
        handles->destination = duplicateFd(destinationDirectory);
    if (!handles->source.isValid() || (m_withDestination && !handles->destination.isValid())) {
        const int error = errno;
        handles.reset();
        errno = error;
        return nullptr;
    }
    m_current = handles;
    return handles;
}

void FileWorkPool::releaseHandles()
{
    {
        const std::lock_guard lock(m_mutex);
        --m_openHandles;
    }
    m_room.notify_one();
}

void FileWorkPool::handOver()
{
    if (m_batch.empty())
        return;
    Batch batch = std::exchange(m_batch, {});
    m_batchBytes = 0;
    if (!m_started)
        startWorkers();
    if (m_threads.empty()) {
        const int walkerSlot = m_workerCount;
        for (const Job& job : batch)
            run(job, walkerSlot);
        complete(batch);
        return;
    }
    {
        std::unique_lock lock(m_mutex);
        m_room.wait(lock, [this] { return m_queue.size() < kQueueLimit; });
        m_queue.push_back(std::move(batch));
    }
    m_work.notify_one();
}

void FileWorkPool::startWorkers()
{
    m_started = true;
    m_threads.reserve(size_t(m_workerCount));
    try {
        for (int slot = 0; slot < m_workerCount; ++slot)
            m_threads.emplace_back([this, slot] { work(slot); });
    } catch (const std::system_error&) {
        // Fewer threads than planned, or none: then the walker works on each batch itself.
    }
}

void FileWorkPool::work(int slot)
{
    for (;;) {
        Batch batch;
        {
            std::unique_lock lock(m_mutex);
            m_work.wait(lock, [this] { return m_closing || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            batch = std::move(m_queue.front());
            m_queue.pop_front();
        }
        m_room.notify_one();
        for (const Job& job : batch)
            run(job, slot);
        complete(batch);
        // The batch, and with it perhaps the last hold on some directory's descriptors, goes here,
        // outside the lock that releasing them takes.
    }
}

void FileWorkPool::run(const Job& job, int slot)
{
    if (job.file.sequence > m_failedAt.load(std::memory_order_acquire))
        return; // after the first failure: it would be undone anyway
    recordFailure(job.file.sequence, m_task.runFile(slot, job.handles->place(), job.file));
}

void FileWorkPool::complete(const Batch& batch)
{
    // Directories whose last file was in this batch, after the walker has left them: complete.
    std::vector<const Job*> last;
    {
        const std::lock_guard lock(m_mutex);
        for (const Job& job : batch) {
            Directory& directory = *job.handles->directory;
            if (--directory.waitingFiles == 0 && directory.left)
                last.push_back(&job);
        }
    }
    for (const Job* job : last) {
        const Directory& directory = *job->handles->directory;
        if (directory.leaveSequence > m_failedAt.load(std::memory_order_acquire))
            continue;
        recordFailure(directory.leaveSequence,
                      m_task.completeDirectory(job->handles->place(), directory.info));
    }
}

void FileWorkPool::recordFailure(quint64 sequence, std::optional<Problem> problem)
{
    if (!problem)
        return;
    const std::lock_guard lock(m_mutex);
    if (m_failure && m_failure->sequence <= sequence)
        return;
    m_failure = Failure{sequence, std::move(*problem)};
    m_failedAt.store(sequence, std::memory_order_release);
}

} // namespace orvalink::platform
