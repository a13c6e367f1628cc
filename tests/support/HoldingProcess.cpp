#include "support/HoldingProcess.h"

#include <csignal>
#include <stdexcept>

namespace orvalink::test {

HoldingProcess::HoldingProcess(const Options& options)
{
    m_process.setWorkingDirectory(options.workingDirectory);
    if (!options.inputFile.isEmpty())
        m_process.setStandardInputFile(options.inputFile);
    if (options.ignoreTermination) {
        // Set in the child before exec: an ignored signal stays ignored across exec, so the process
        // shrugs SIGTERM off from its first instruction on.
        m_process.setChildProcessModifier([] { ::signal(SIGTERM, SIG_IGN); });
    }
    m_process.start(options.program, {QStringLiteral("30")});
    if (!m_process.waitForStarted())
        throw std::runtime_error("could not start " + options.program.toStdString());
}

HoldingProcess::~HoldingProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

} // namespace orvalink::test
