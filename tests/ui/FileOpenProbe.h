#pragma once

#include "support/FileAccessWatch.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <thread>

namespace orvalink::test {

// Tells whether anything opened a file in the watched folders, and keeps a FIFO among them from
// blocking whoever opens it: a feeder waits to write into it again and again, so a reader gets a
// byte and the end of the file instead of hanging the test. Works through inotify, so it sees
// opens from any thread of this process.
class FileOpenProbe {
public:
    // Makes a FIFO at `fifoPath` and starts its feeder.
    explicit FileOpenProbe(const QString& fifoPath);
    ~FileOpenProbe();
    FileOpenProbe(const FileOpenProbe&) = delete;
    FileOpenProbe& operator=(const FileOpenProbe&) = delete;

    bool isValid() const { return m_watch.isValid() && m_fifoMade; }
    const QString& fifoPath() const { return m_fifo; }
    // Reports opens and reads of files directly in `folder` from now on.
    bool watch(const QString& folder);
    // The files opened or read since the last call.
    QStringList openedFiles();

private:
    QString m_fifo;
    bool m_fifoMade = false;
    FileAccessWatch m_watch;
    std::atomic<bool> m_stopFeeding = false;
    std::thread m_feeder;
};

} // namespace orvalink::test
