#pragma once

#include <QString>
#include <sys/types.h>

namespace orvalink::test {

// A forked child named "holder" that holds one file the way a program does, until the object dies
// (it is killed and reaped then): open, or mapped into its memory with the descriptor closed again,
// so that only the mapping holds it; of the descriptors the test has open it keeps none. Unlike
// HoldingProcess it needs no event loop and may be started and ended on any thread: the child makes
// nothing but system calls.
class ForkedHolder {
public:
    enum class Hold { open, mapped };

    // Returns once the child holds `path` (opened as it stands, links followed), or could not.
    ForkedHolder(const QString& path, Hold how);
    ~ForkedHolder();
    ForkedHolder(const ForkedHolder&) = delete;
    ForkedHolder& operator=(const ForkedHolder&) = delete;

    bool isHolding() const { return m_holding; }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    bool m_holding = false;
};

} // namespace orvalink::test
