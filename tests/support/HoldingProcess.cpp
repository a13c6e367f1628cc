#include "support/HoldingProcess.h"

#include <stdexcept>

namespace orvalink::test {

HoldingProcess::HoldingProcess(const Options& options)
{
    m_process.setWorkingDirectory(options.workingDirectory);
    if (!options.inputFile.isEmpty())
        m_process.setStandardInputFile(options.inputFile);
    if (options.ignoreTermination) {
        // An ignored signal stays ignored across exec, so the sleep itself shrugs SIGTERM off.
        m_process.start(
            QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), QStringLiteral("trap '' TERM; exec \"$0\" 30"), options.program});
    } else {
        m_process.start(options.program, {QStringLiteral("30")});
    }
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
