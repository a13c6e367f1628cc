#pragma once

#include "platform/CancellationToken.h"

#include <QString>
#include <ctime>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

namespace orvalink::platform {

// Measures one tree again and again, the way measureTrees does (regular files count the larger of
// length and allocated blocks, links are never followed, hidden names count), but re-reads only what
// may have changed since the previous measurement. Meant for a tree that is being filled while it is
// watched.
//
// What is trusted between two measurements:
// - a directory's listing, while its identity, mtime and ctime are unchanged and its ctime was
//   already older than the moment it was listed (minus `settleSeconds`). File systems stamp times from
//   a coarse clock, so a change made in the same tick as the listing would otherwise go unseen;
// - a file's size, unless the file was new or changed size at the previous measurement, or its
//   ctime was not yet older than that measurement (minus `settleSeconds`).
// A file that had settled and is then written again inside an unchanged directory is seen only when
// its directory changes; its bytes are then counted late, never too many.
//
// Not thread-safe; one instance per watched tree.
class IncrementalTreeMeasurer {
public:
    explicit IncrementalTreeMeasurer(QString root, int settleSeconds = 2);

    // The bytes at or below the root, or none when the root cannot be opened as a directory. Throws
    // WalkCancelled when `cancellation` fires (polled for every directory); the next call then starts
    // afresh.
    std::optional<qint64> measure(const CancellationToken& cancellation = {});

    // Directories and files examined by the last measure(): how much work the caches saved.
    struct Work {
        qint64 directoriesListed = 0;
        qint64 filesExamined = 0;
    };
    Work lastWork() const { return m_work; }

private:
    struct FileState {
        qint64 bytes = 0;
        bool watch = true; // examined again at the next measurement
    };
    struct DirectoryState {
        dev_t device = 0;
        ino_t inode = 0;
        timespec mtime{};
        timespec ctime{};
        bool settled = false;
        quint64 generation = 0;
        qint64 bytes = 0;
        std::unordered_map<std::string, FileState> files;
        std::vector<std::string> subdirectories;
    };

    qint64 visit(int fd, const std::string& relative, const struct stat& info);
    void list(int fd, DirectoryState& directory);
    void refreshWatched(int fd, DirectoryState& directory);
    bool isRecent(const timespec& time) const;

    std::string m_root;
    int m_settleSeconds;
    timespec m_startedAt{};
    quint64 m_generation = 0;
    std::unordered_map<std::string, DirectoryState> m_directories; // by path below the root
    Work m_work;
};

} // namespace orvalink::platform
