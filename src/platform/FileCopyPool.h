#pragma once

#include "platform/EntryIdentity.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace orvalink::platform {

// Copies the regular files of a tree on a few worker threads while the one walker creates
// everything else in walk order. Small files cost a dozen system calls each and almost no data, so
// a single thread mostly waits for the kernel; several keep it busy. A big file stays with one
// worker, copied in large chunks.
//
// The walker tells the pool which directory it is in (enterDirectory/leaveDirectory) and hands it
// each file with a sequence number that grows along the walk. Files go to the workers in batches
// (a few dozen small ones, or fewer adding up to some megabytes): handing over each file alone
// would cost more in thread wake-ups than copying it. Workers reach source and
// destination through duplicates of the walker's directory descriptors, opened only while files of
// that directory wait, within a budget derived from the descriptor limit: the walk itself still
// needs only a handful, whatever the depth of the tree.
//
// A directory's own metadata waits until every file in it is in: creating a file would change its
// modification time, and its mode may forbid creating anything. Whoever finishes last (the walker
// leaving it or the worker with its last file) applies it.
//
// Failures are ordered by sequence number: once one is known, files after it are skipped and files
// before it still run, so the failure reported is the first along the walk whatever the timing,
// just as a copy on one thread would report it.
class FileCopyPool {
public:
    struct Failure {
        quint64 sequence;
        int errorNumber;
        QString path;
    };

    // `sourceRoot` and `destinationRoot` name the two roots in messages. Workers start with the
    // first file, so a copy of a single entry starts no thread.
    FileCopyPool(QString sourceRoot, QString destinationRoot, bool asRoot,
                 int workerCount = defaultWorkerCount());
    ~FileCopyPool();
    FileCopyPool(const FileCopyPool&) = delete;
    FileCopyPool& operator=(const FileCopyPool&) = delete;

    // Up to eight workers, never more than the processors this process may run on.
    static int defaultWorkerCount();

    // The walker has created the destination directory for the source directory `info`, whose
    // entries are named `prefix` + name below the roots ("a/b/" for entries of a/b, "" for the
    // root's).
    void enterDirectory(const QByteArray& prefix, const struct stat& info);
    // A file of the walker's current directory to copy under the same name; see FileCopyRequest
    // for `source` and `prepared`.
    struct File {
        QByteArray name;
        EntryIdentity source;
        off_t size;
        std::optional<EntryIdentity> prepared;
        quint64 sequence;
    };
    // Queues `file` from the walker's current source directory `sourceDirectory` into its current
    // destination directory `destinationDirectory`. May wait for room. Answers 0, or the errno when
    // no descriptor was left for the directory.
    int submitFile(int sourceDirectory, int destinationDirectory, File file);
    // The walker is done with the innermost directory (at `sequence`). Answers true when none of its
    // files is still waiting: the caller applies its metadata now. Otherwise the last worker does.
    bool leaveDirectory(quint64 sequence);

    // Whether any failure is known: the walker stops at its next step.
    bool failed() const { return m_failedAt.load(std::memory_order_acquire) != kNoFailure; }
    // Lets every queued file before the first failure finish, then stops the workers. Idempotent.
    void finish();
    // After finish(): the first failure along the walk, if any.
    const std::optional<Failure>& firstFailure() const { return m_failure; }
    // After finish(): adds what the workers created at the destination and the source files they
    // took, as they were when taken.
    void collectResults(QSet<EntryIdentity>& created, QHash<EntryIdentity, EntryFingerprint>& copied) const;

private:
    static constexpr quint64 kNoFailure = ~quint64(0);

    struct Directory;
    struct Handles;
    struct Job;
    struct Worker;
    using Batch = std::vector<Job>;

    std::shared_ptr<Handles> handlesFor(int sourceDirectory, int destinationDirectory);
    void releaseHandles();
    void handOver();
    void startWorkers();
    void work(Worker& worker);
    void run(const Job& job, Worker& worker);
    void complete(const Batch& batch);
    void recordFailure(quint64 sequence, int errorNumber, const QString& path);
    QString pathBelow(const QString& root, const QByteArray& relative) const;

    const QString m_sourceRoot;
    const QString m_destinationRoot;
    const bool m_asRoot;
    int m_workerCount;
    int m_handleLimit; // directories whose descriptors may be open at once

    // Walker side only.
    std::vector<std::shared_ptr<Directory>> m_directories; // from the root down
    std::shared_ptr<Handles> m_current;                    // descriptors of the innermost directory
    std::vector<std::unique_ptr<Worker>> m_workers;
    std::unique_ptr<Worker> m_inline; // runs files on the walker when no thread could start
    Batch m_batch;                    // files not handed over yet
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
