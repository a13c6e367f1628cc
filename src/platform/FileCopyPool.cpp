#include "platform/FileCopyPool.h"

#include "platform/FileDataCopier.h"
#include "platform/RegularFileCopy.h"
#include "platform/UniqueFd.h"

#include <QFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <system_error>
#include <thread>
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

UniqueFd duplicate(int fd)
{
    return UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
}

} // namespace

// A destination directory being filled, and what it waits for before it gets its own metadata.
struct FileCopyPool::Directory {
    QByteArray prefix;
    struct stat info;
    int waitingFiles = 0; // queued or being copied
    bool left = false;    // the walker is done with it
    quint64 leaveSequence = 0;
};

// Descriptors on one source directory and its copy, shared by its queued files. Counted against
// the pool's budget until the last user lets go.
struct FileCopyPool::Handles {
    Handles(FileCopyPool& owner, std::shared_ptr<Directory> of) : pool(owner), directory(std::move(of)) {}
    ~Handles()
    {
        source.reset();
        destination.reset();
        pool.releaseHandles();
    }
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;

    FileCopyPool& pool;
    std::shared_ptr<Directory> directory;
    UniqueFd source;
    UniqueFd destination;
};

struct FileCopyPool::Job {
    std::shared_ptr<Handles> handles;
    File file;
};

// One worker's own state: nothing here is shared until the workers have stopped.
struct FileCopyPool::Worker {
    FileDataCopier data;
    std::vector<EntryIdentity> created;
    std::vector<std::pair<EntryIdentity, EntryFingerprint>> copied;
    std::thread thread;
};

FileCopyPool::FileCopyPool(QString sourceRoot, QString destinationRoot, bool asRoot, int workerCount)
    : m_sourceRoot(std::move(sourceRoot)), m_destinationRoot(std::move(destinationRoot)), m_asRoot(asRoot)
{
    // Each worker holds two file descriptors while it copies, each directory in use two more.
    const int budget = descriptorBudget();
    m_workerCount = std::clamp(workerCount, 1, std::max(1, budget / 4));
    m_handleLimit = std::max(1, (budget - 2 * m_workerCount) / 2);
}

FileCopyPool::~FileCopyPool()
{
    finish();
}

int FileCopyPool::defaultWorkerCount()
{
    return std::clamp(QThread::idealThreadCount(), 1, kMaxWorkers);
}

void FileCopyPool::enterDirectory(const QByteArray& prefix, const struct stat& info)
{
    m_current.reset(); // the parent's descriptors stay only as long as its queued files need them
    auto directory = std::make_shared<Directory>();
    directory->prefix = prefix;
    directory->info = info;
    m_directories.push_back(std::move(directory));
}

int FileCopyPool::submitFile(int sourceDirectory, int destinationDirectory, File file)
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

bool FileCopyPool::leaveDirectory(quint64 sequence)
{
    m_current.reset();
    const std::shared_ptr<Directory> directory = std::move(m_directories.back());
    m_directories.pop_back();
    const std::lock_guard lock(m_mutex);
    directory->left = true;
    directory->leaveSequence = sequence;
    return directory->waitingFiles == 0;
}

void FileCopyPool::finish()
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
    for (const std::unique_ptr<Worker>& worker : m_workers)
        worker->thread.join();
}

void FileCopyPool::collectResults(QSet<EntryIdentity>& created,
                                  QHash<EntryIdentity, EntryFingerprint>& copied) const
{
    auto collect = [&](const Worker& worker) {
        for (const EntryIdentity& identity : worker.created)
            created.insert(identity);
        for (const auto& [identity, fingerprint] : worker.copied)
            copied.insert(identity, fingerprint);
    };
    for (const std::unique_ptr<Worker>& worker : m_workers)
        collect(*worker);
    if (m_inline)
        collect(*m_inline);
}

std::shared_ptr<FileCopyPool::Handles> FileCopyPool::handlesFor(int sourceDirectory, int destinationDirectory)
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
    handles->source = duplicate(sourceDirectory);
    if (handles->source.isValid())
        handles->destination = duplicate(destinationDirectory);
    if (!handles->destination.isValid()) {
        const int error = errno;
        handles.reset();
        errno = error;
        return nullptr;
    }
    m_current = handles;
    return handles;
}

void FileCopyPool::releaseHandles()
{
    {
        const std::lock_guard lock(m_mutex);
        --m_openHandles;
    }
    m_room.notify_one();
}

void FileCopyPool::handOver()
{
    if (m_batch.empty())
        return;
    Batch batch = std::exchange(m_batch, {});
    m_batchBytes = 0;
    if (!m_started)
        startWorkers();
    if (m_workers.empty()) {
        for (const Job& job : batch)
            run(job, *m_inline);
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

void FileCopyPool::startWorkers()
{
    m_started = true;
    m_workers.reserve(size_t(m_workerCount));
    try {
        for (int i = 0; i < m_workerCount; ++i) {
            auto worker = std::make_unique<Worker>();
            Worker& self = *worker;
            worker->thread = std::thread([this, &self] { work(self); });
            m_workers.push_back(std::move(worker));
        }
    } catch (const std::system_error&) {
        // Fewer threads than planned (or none: then the walker copies each file itself).
    }
    if (m_workers.empty())
        m_inline = std::make_unique<Worker>();
}

void FileCopyPool::work(Worker& worker)
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
            run(job, worker);
        complete(batch);
        // The batch, and with it perhaps the last hold on some directory's descriptors, goes here,
        // outside the lock that releasing them takes.
    }
}

void FileCopyPool::run(const Job& job, Worker& worker)
{
    const File& file = job.file;
    if (file.sequence > m_failedAt.load(std::memory_order_acquire))
        return; // after the first failure: it would be removed again anyway
    const Handles& handles = *job.handles;
    const char* name = file.name.constData();
    const FileCopyResult result =
        copyRegularFile(FileCopyRequest{handles.source.get(), name, file.source, handles.destination.get(),
                                        name, file.prepared},
                        worker.data, m_asRoot);
    if (result.created)
        worker.created.push_back(*result.created);
    if (result.errorNumber != 0)
        return recordFailure(file.sequence, result.errorNumber,
                             pathBelow(result.atDestination ? m_destinationRoot : m_sourceRoot,
                                       handles.directory->prefix + file.name));
    worker.copied.emplace_back(EntryIdentity::of(result.taken), EntryFingerprint::of(result.taken));
}

void FileCopyPool::complete(const Batch& batch)
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
        const int error = applyCopiedMetadata(job->handles->destination.get(), directory.info, m_asRoot);
        if (error != 0)
            recordFailure(directory.leaveSequence, error,
                          pathBelow(m_destinationRoot, directory.prefix.left(directory.prefix.size() - 1)));
    }
}

void FileCopyPool::recordFailure(quint64 sequence, int errorNumber, const QString& path)
{
    const std::lock_guard lock(m_mutex);
    if (m_failure && m_failure->sequence <= sequence)
        return;
    m_failure = Failure{sequence, errorNumber, path};
    m_failedAt.store(sequence, std::memory_order_release);
}

QString FileCopyPool::pathBelow(const QString& root, const QByteArray& relative) const
{
    if (relative.isEmpty())
        return root;
    return root + QLatin1Char('/') + QFile::decodeName(relative);
}

} // namespace orvalink::platform
