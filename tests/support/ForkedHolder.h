#pragma once

#include <QString>
#include <optional>
#include <sys/types.h>

namespace orvalink::test {

// A forked child named "holder" that holds one file (or folder) the way a program does, until the
// object dies (it is killed and reaped then): open, or mapped into its memory with the descriptor
// closed again, so that only the mapping holds it; or held by a thread of its own that made itself
// its own working directories (unshare(CLONE_FS)) and entered the folder, or its own descriptor
// table (unshare(CLONE_FILES)) and opened the file, so that the process's own folder in /proc shows
// neither; or registered with an io_uring instance (IORING_REGISTER_FILES) and its descriptor
// closed, so that only the ring holds it. Of the descriptors the test has open it keeps none.
// Unlike HoldingProcess it needs no event loop and may be started and ended on any thread: the
// child makes nothing but system calls.
class ForkedHolder {
public:
    enum class Hold { open, mapped, threadWorkingDirectory, threadDescriptor, registeredWithRing };

    // Returns once the child holds `path` (opened as it stands, links followed), or could not.
    ForkedHolder(const QString& path, Hold how);
    ~ForkedHolder();
    ForkedHolder(const ForkedHolder&) = delete;
    ForkedHolder& operator=(const ForkedHolder&) = delete;

    bool isHolding() const { return m_holding; }
    pid_t pid() const { return m_pid; }
    // Why a test cannot have this hold here: the kernel (or a sandbox) refuses io_uring.
    std::optional<QString> skipReason() const;

private:
    pid_t m_pid = -1;
    bool m_holding = false;
    int m_refusal = 0; // the errno io_uring_setup was refused with
};

} // namespace orvalink::test
