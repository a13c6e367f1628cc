#pragma once

#include "platform/CommandRunner.h"

#include <QStringList>
#include <functional>
#include <optional>

namespace orvalink::test {

// Plays the administrator for the privileged file commands: runs each command text with a plain
// /bin/sh -c (no password dialog) and keeps the texts, so tests can tell whether the fallback ran.
class ShellRunner : public platform::CommandRunner {
public:
    // Asked first for every command; an outcome it returns answers the command without running it.
    std::function<std::optional<platform::CommandOutcome>(const QString& command)> before;
    QStringList commands;

    platform::CommandOutcome run(const QString& command) override;

protected:
    virtual platform::CommandOutcome runShell(const QString& command);
};

// For a process that runs as nobody with root as its saved id: each command runs in a child that
// takes root's rights back first, as pkexec would after a granted prompt.
class ElevatedShellRunner : public ShellRunner {
protected:
    platform::CommandOutcome runShell(const QString& command) override;
};

// The outcome of a refused administrator prompt.
platform::CommandOutcome refusedOutcome();

} // namespace orvalink::test
