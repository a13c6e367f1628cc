#pragma once

#include <QProcess>
#include <QString>
#include <sys/types.h>

namespace orvalink::test {

// A long `sleep` child that holds a place while it runs: its working directory, a file open as its
// standard input, or its own executable. Killed and reaped when the object dies. Throws
// std::runtime_error when it cannot be started as asked.
class HoldingProcess {
public:
    struct Options {
        QString workingDirectory;
        QString inputFile;                         // opened as standard input when set
        QString program = QStringLiteral("sleep"); // any sleep-compatible executable
        bool ignoreTermination = false;            // starts with SIGTERM ignored
        // Runs as the unprivileged user nobody (see unprivilegedUid); needs root. It enters its
        // working directory first, with our rights.
        bool asNobody = false;
    };

    explicit HoldingProcess(const Options& options);
    ~HoldingProcess();
    HoldingProcess(const HoldingProcess&) = delete;
    HoldingProcess& operator=(const HoldingProcess&) = delete;

    pid_t pid() const { return static_cast<pid_t>(m_process.processId()); }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

} // namespace orvalink::test
