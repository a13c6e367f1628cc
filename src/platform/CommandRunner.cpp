#include "platform/CommandRunner.h"

#include "platform/PlatformError.h"

#include <QFile>
#include <QProcess>
#include <cerrno>
#include <unistd.h>

namespace orvalink::platform {

ProcessCommandRunner::ProcessCommandRunner(QString program, QStringList leadingArguments)
    : m_program(std::move(program)), m_leadingArguments(std::move(leadingArguments))
{}

std::shared_ptr<CommandRunner> ProcessCommandRunner::administrator()
{
    return std::make_shared<ProcessCommandRunner>(
        QStringLiteral("/usr/bin/pkexec"), QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c")});
}

CommandOutcome ProcessCommandRunner::run(const QString& command)
{
    if (m_program.contains(QLatin1Char('/')) && ::access(QFile::encodeName(m_program).constData(), X_OK) != 0)
        throw PlatformError::fromErrno(errno, m_program);
    QProcess process;
    process.setProgram(m_program);
    process.setArguments(m_leadingArguments + QStringList{command});
    process.start(QIODevice::ReadWrite);
    if (!process.waitForStarted(-1)) {
        throw PlatformError(EIO, process.errorString() + QStringLiteral(": ") + m_program);
    }
    process.closeWriteChannel();
    process.waitForFinished(-1);

    CommandOutcome outcome;
    outcome.standardOutput = process.readAllStandardOutput();
    outcome.standardError = process.readAllStandardError();
    outcome.crashed = process.exitStatus() == QProcess::CrashExit;
    outcome.exitStatus = outcome.crashed ? -1 : process.exitCode();
    return outcome;
}

} // namespace orvalink::platform
