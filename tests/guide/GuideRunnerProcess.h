#pragma once

#include "support/LoopbackAccountService.h"
#include "viewmodel/ViewModelFixture.h"

#include <QHash>
#include <QProcess>
#include <QStringList>
#include <memory>

namespace orvalink::test {

// The program (or, where it is not built, the guide runner) as a child process in a temporary home whose
// settings name a loopback account service. The test's event loop keeps running while the child runs, so the
// service answers it.
class GuideRunnerWorld {
public:
    GuideRunnerWorld();
    bool isReady() const { return m_ready; }

    // Starts the runner with `variables` added to the environment (the switches of the modes).
    void start(const QHash<QString, QString>& variables, const QStringList& arguments = {});
    // Waits for the child to end; false on time-out (it is then killed).
    bool waitForExit(int timeoutMs = 120000);
    // The lines the child wrote so far that start with `prefix`.
    QStringList stdoutLines(const QString& prefix);
    QStringList stderrLines(const QString& prefix);
    int exitCode() const;
    bool exitedNormally() const;
    // Every request the account service received.
    qsizetype serviceRequests() const { return service.http().requests().size(); }
    qsizetype requestsTo(const QString& path) const { return service.http().requestsTo(path).size(); }

    ViewModelFixture world;
    LoopbackAccountService service;
    std::unique_ptr<QProcess> process;

private:
    void drain();

    bool m_ready = false;
    QByteArray m_stdout;
    QByteArray m_stderr;
};

} // namespace orvalink::test
