#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <thread>

namespace orvalink::test {

// Holds every opening of a file in one folder, by any thread or process, until a callback of the
// test has run: work that opens a file there between two of its steps (an operation record it
// updates, say) stops at that moment, however fast or slow the disk, and the test acts in between.
// With folders too, the opening of the folder itself or of one in it (to list it) is held as well.
// The gate holds to the folder, not its path: it follows the folder when it is moved. The kernel's
// fanotify permission events; they need root, and without it the gate is not valid and skipReason()
// says why.
class FileOpenGate {
public:
    // With `reads`, every read of a file is held instead of its opening (a whole file read in blocks
    // is held at each block), and `folder` may name the file itself.
    enum class Openings { files, filesAndFolders, reads };

    // `atOpen` runs on the gate's own thread, once for each opening, while the opener waits; it must
    // not open anything in `folder` itself. With `Openings::filesAndFolders` the openings of the
    // folders in `folder` are held as well (a flush of a folder after a rename in it opens it).
    // With `refuses`, an opening of a file it picks (by the file's status) is refused with EPERM, as
    // for a file that cannot be read, even by root.
    FileOpenGate(const QString& folder, std::function<void()> atOpen, Openings openings = Openings::files,
                 std::function<bool(const struct stat&)> refuses = {});
    // Lets every opening through from then on.
    ~FileOpenGate();
    FileOpenGate(const FileOpenGate&) = delete;
    FileOpenGate& operator=(const FileOpenGate&) = delete;

    std::optional<QString> skipReason() const;

private:
    void run();

    std::function<void()> m_atOpen;
    std::function<bool(const struct stat&)> m_refuses;
    int m_fanotify = -1;
    int m_stop = -1; // an eventfd the destructor signals
    std::thread m_thread;
    QString m_skipReason;
};

} // namespace orvalink::test
