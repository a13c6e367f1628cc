#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

namespace orvalink::platform {

// How a shell command ended.
struct CommandOutcome {
    int exitStatus = 0;   // 0 only for a normal exit with status 0
    bool crashed = false; // ended by a signal; exitStatus is then not 0
    QByteArray standardOutput;
    QByteArray standardError;
};

// Runs one shell command text and waits for it. The seam through which administrator commands are
// made: production goes through pkexec, tests run the same command texts unprivileged.
class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    // Blocks until the command ends. Throws PlatformError when it cannot be started at all.
    virtual CommandOutcome run(const QString& command) = 0;
};

// Runs `program leadingArguments... command` as a child process: the command travels as one argument
// and is never pasted into another text. Stdin is closed; the environment and working directory are
// inherited. Usable from any thread (it needs no event loop).
class ProcessCommandRunner : public CommandRunner {
public:
    ProcessCommandRunner(QString program, QStringList leadingArguments);

    // `pkexec /bin/sh -c <command>`: the system's authorization dialog asks for an administrator
    // password. pkexec exits 126 when the dialog is dismissed and 127 when authorization fails.
    static std::shared_ptr<CommandRunner> administrator();

    CommandOutcome run(const QString& command) override;

private:
    QString m_program;
    QStringList m_leadingArguments;
};

} // namespace orvalink::platform
