#pragma once

#include "platform/CommandRunner.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace orvalink {

// Runs the four file commands with administrator rights, as the second attempt after a permission
// error (see PrivilegeFallback.h). Each path reaches the command as one literal shell word. Every call
// blocks its thread until the command ends, for as long as the authorization dialog stays open.
class PrivilegedFileOperationService {
public:
    // Without a runner, commands go through `pkexec /bin/sh -c`.
    explicit PrivilegedFileOperationService(std::shared_ptr<platform::CommandRunner> runner = {});

    // "/bin/rm -rf -- <path>"
    void removeItem(const QString& path) const;
    // "/bin/mv -f -- <source> <destination>"
    void moveItem(const QString& source, const QString& destination) const;
    // "/bin/mkdir -p -- <path>"
    void createDirectory(const QString& path) const;
    // "/bin/ln -sfn -- <destination> <link path>": what the link points to first.
    void createSymbolicLink(const QString& linkPath, const QString& destination) const;

    // Returns when the command exited with status 0. Otherwise throws
    // PrivilegedFileOperationError::authorizationFailed with the trimmed standard error, else the
    // trimmed standard output (a stream that is not UTF-8 counts as empty), else "Administrator
    // authorization failed.". Throws platform::PlatformError when the runner cannot be started.
    void runPrivileged(const QString& command) const;

    static QString removeCommand(const QString& path);
    static QString moveCommand(const QString& source, const QString& destination);
    static QString createDirectoryCommand(const QString& path);
    static QString createSymbolicLinkCommand(const QString& linkPath, const QString& destination);

    // The path as one POSIX shell word: in single quotes, each single quote inside written as '"'"'.
    static QString shellQuoted(const QString& path);

    // The first text that is present and not empty.
    static std::optional<QString> firstNonEmpty(const std::vector<std::optional<QString>>& texts);

private:
    std::shared_ptr<platform::CommandRunner> m_runner;
};

} // namespace orvalink
