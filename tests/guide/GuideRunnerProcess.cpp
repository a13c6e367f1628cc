#include "GuideRunnerProcess.h"

#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <QTest>

namespace orvalink::test {

GuideRunnerWorld::GuideRunnerWorld()
{
    m_ready = world.home.isValid() && service.start();
    AppConfig config = world.baseConfig();
    config.uiLanguage = UILanguage::english;
    config.backendBaseURL = service.baseURL();
    world.writeConfig(config);
}

void GuideRunnerWorld::start(const QHash<QString, QString>& variables, const QStringList& arguments)
{
    m_stdout.clear();
    m_stderr.clear();
    process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (auto it = variables.cbegin(); it != variables.cend(); ++it)
        environment.insert(it.key(), it.value());
    process->setProcessEnvironment(environment);
#ifdef ORVALINK_PROGRAM
    // The program itself where it is built; the runner only for what the program cannot do (end on
    // its own once a start-up with every mode left off is over).
    const bool needsRunner = arguments.contains(QStringLiteral("--quit-after-start"));
    process->start(needsRunner ? QStringLiteral(ORVALINK_GUIDE_RUNNER) : QStringLiteral(ORVALINK_PROGRAM),
                   arguments);
#else
    process->start(QStringLiteral(ORVALINK_GUIDE_RUNNER), arguments);
#endif
}

bool GuideRunnerWorld::waitForExit(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (process->state() != QProcess::NotRunning && timer.elapsed() < timeoutMs) {
        QTest::qWait(20);
        drain();
    }
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished();
        return false;
    }
    drain();
    return true;
}

void GuideRunnerWorld::drain()
{
    m_stdout += process->readAllStandardOutput();
    m_stderr += process->readAllStandardError();
}

namespace {
QStringList linesWithPrefix(const QByteArray& bytes, const QString& prefix)
{
    QStringList lines;
    for (const QString& line : QString::fromUtf8(bytes).split(QLatin1Char('\n'))) {
        if (line.startsWith(prefix))
            lines.append(line);
    }
    return lines;
}
} // namespace

QStringList GuideRunnerWorld::stdoutLines(const QString& prefix)
{
    drain();
    return linesWithPrefix(m_stdout, prefix);
}

QStringList GuideRunnerWorld::stderrLines(const QString& prefix)
{
    drain();
    return linesWithPrefix(m_stderr, prefix);
}

int GuideRunnerWorld::exitCode() const
{
    return process->exitCode();
}

bool GuideRunnerWorld::exitedNormally() const
{
    return process->exitStatus() == QProcess::NormalExit;
}

} // namespace orvalink::test
