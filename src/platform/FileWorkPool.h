#pragma once

#include "platform/EntryIdentity.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace orvalink::platform {

// Works on the regular files of a tree on a few threads while one walker goes through it in order.
// Small files cost a dozen system calls each and almost no data, so a single thread mostly waits
// for the kernel; several keep it busy. What is done with each file is the Task's business.
//
// The walker tells the pool which directory it is in (enterDirectory/leaveDirectory) and hands it
// each file with a sequence number that grows along the walk. Files go to the workers in batches
// (a few dozen small ones, or fewer adding up to some megabytes): handing over each file alone
// would cost more in thread wake-ups than the work. Workers reach a file through duplicates of the
// walker's directory descriptors, open only while files of that directory wait, within a budget
// taken from the descriptor limit: the walk itself still needs only a handful, whatever the depth
// of the tree.
//
// A directory is complete once the walker has left it and its last file is done; the Task hears
// of it then, from the walker (leaveDirectory answers true) or from the worker that finished last.
//
// Failures are ordered by sequence number: once one is known, files after it are skipped and files
// before it still run, so the failure reported is the first along the walk whatever the timing, as
// a walk on one thread would report it.
class FileWorkPool {
public:
    // A file of the walker's current directory.
    struct File {
        QByteArray name;
        EntryIdentity identity; // what the walk saw at that name
        off_t size;
        // For a copy: an empty file made beforehand at the destination (see FileCopyRequest).
        std::optional<EntryIdentity> prepared;
        quint64 sequence;
    };
    // Where a file or directory is: descriptors on its source directory and (when the pool has
    // one) the matching destination directory, and the prefix naming its entries below the roots.
    struct Place {
        int sourceDirectory;
        int destinationDirectory;
        const QByteArray& prefix;
    };
    // What went wrong with a file or directory: an errno and the path it concerns.
    struct Problem {
        int errorNumber;
        QString path;
    };
    struct Failure {
        quint64 sequence;
        Problem problem;
    };

    class Task {
    public:
        virtual ~Task() = default;
        // Called on a worker thread (or on the walker when no thread could start). Calls with the
        // same `slot` (0 to slotCount() - 1) never overlap, so per-slot state needs no lock.
        virtual std::optional<Problem> runFile(int slot, const Place& place, const File& file) = 0;
        // A directory the walker has left whose files are all done; `info` is what enterDirectory
        // was given. Called on a worker, unless leaveDirectory answered true: then the walker
        // handles it itself.
        virtual std::optional<Problem> completeDirectory(const Place& place, const struct stat& info) = 0;
    };

    // Up to eight workers, never more than the processors this process may run on.
    static int defaultWorkerCount();

    // With `withDestination`, each directory has a destination descriptor too. Workers start with
    // the first batch, so a walk that hands over no file starts no thread.
    FileWorkPool(Task& task, bool withDestination, int workerCount = defaultWorkerCount());
    ~FileWorkPool();
    FileWorkPool(const FileWorkPool&) = delete;
    FileWorkPool& operator=(const FileWorkPool&) = delete;

    // Slots the Task must provide for: the workers and the walker.
    int slotCount() const { return m_workerCount + 1; }

    // The walker is in a new directory, whose entries are named `prefix` + name below the roots
    // ("a/b/" for entries of a/b, "" for the root's).
    void enterDirectory(const QByteArray& prefix, const struct stat& info);
    // Queues `file` from the walker's current directory (`destinationDirectory` is ignored without
    // destination). May wait for room. Answers 0, or the errno when no descriptor was left.
    int submitFile(int sourceDirectory, int destinationDirectory, File file);
    // The walker is done with the innermost directory (at `sequence`). Answers true when none of its
    // files is still waiting: the caller completes it now. Otherwise the last worker does.
    bool leaveDirectory(quint64 sequence);

    // Whether any failure is known: the walker stops at its next step.
    bool failed() const { return m_failedAt.load(std::memory_order_acquire) != kNoFailure; }
    // Lets every queued file before the first failure finish, then stops the workers. Idempotent.
    void finish();
    // After finish(): the first failure along the walk, if any.
    const std::optional<Failure>& firstFailure() const { return m_failure; }

private:
    static constexpr quint64 kNoFailure = ~quint64(0);

    struct Directory;
    struct Handles;
    struct Job;
    using Batch = std::vector<Job>;

    std::shared_ptr<Handles> handlesFor(int sourceDirectory, int destinationDirectory);
    void releaseHandles();
    void handOver();
    void startWorkers();
    void work(int slot);
    void run(const Job& job, int slot);
    void complete(const Batch& batch);
    void recordFailure(quint64 sequence, std::optional<Problem> problem);

    Task& m_task;
    const bool m_withDestination;
    int m_workerCount;
    int m_handleLimit; // directories whose descriptors may be open at once

    // Walker side only.
    std::vector<std::shared_ptr<Directory>> m_directories; // from the root down
    std::shared_ptr<Handles> m_current;                    // descriptors of the innermost directory
    std::vector<std::thread> m_threads;
    Batch m_batch; // files not handed over yet
    qint64 m_batchBytes = 0;
    bool m_started = false;
    bool m_finished = false;

    std::mutex m_mutex; // guards everything below and the counters of each Directory
    std::condition_variable m_work;
    std::condition_variable m_room;
    std::deque<Batch> m_queue;
    int m_openHandles = 0;
    bool m_closing = false;
    std::optional<Failure> m_failure;
    std::atomic<quint64> m_failedAt{kNoFailure};
};

} // namespace orvalink::platform
