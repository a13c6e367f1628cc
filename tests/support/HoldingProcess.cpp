#include "support/HoldingProcess.h"

#include "platform/ProcessTable.h"
#include "support/ChildProcess.h"

#include <csignal>
#include <stdexcept>
#include <unistd.h>

namespace orvalink::test {

HoldingProcess::HoldingProcess(const Options& options)
{
    m_process.setWorkingDirectory(options.workingDirectory);
    if (!options.inputFile.isEmpty())
        m_process.setStandardInputFile(options.inputFile);
    // Looked up before the fork: name service lookups are not for a forked child.
    const uid_t uid = unprivilegedUid();
    const gid_t gid = unprivilegedGid();
    const bool ignoreTermination = options.ignoreTermination;
    const bool asNobody = options.asNobody;
    // Runs in the child before exec (after it entered its working directory): an ignored signal
    // stays ignored across exec, so the process shrugs SIGTERM off from its first instruction on.
    m_process.setChildProcessModifier([=] {
        if (ignoreTermination)
            ::signal(SIGTERM, SIG_IGN);
        if (asNobody && !dropToUser(uid, gid))
            ::_exit(125);
    });
    m_process.start(options.program, {QStringLiteral("30")});
    if (!m_process.waitForStarted() || (asNobody && platform::processOwner(pid()) != uid))
        throw std::runtime_error("could not start " + options.program.toStdString() + " as asked");
}

HoldingProcess::~HoldingProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

} // namespace orvalink::test
