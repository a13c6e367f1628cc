#pragma once

#include "platform/UniqueFd.h"

#include <QObject>
#include <QString>
#include <chrono>

class QLocalServer;

namespace orvalink::ui {

// Makes sure one instance of the program runs per application-support folder: two instances would
// append to the same history files and could lose records. The first start holds a lock and
// listens on a local socket; a later start finds the lock taken, asks the running instance to
// raise its window and learns whether it answered.
//
// The lock is a flock(2) on a file named after the folder (platform::lockFile), beside the socket
// in a folder only this user can enter (platform::privateRuntimeDirectory): no other user can plant
// anything there, and what a session leaves goes with it. The lock dies with its holder, so a lock
// file left behind never stands in the way, and a taken lock always means a live holder. Checking
// it never blocks and reads nothing. Something else at the lock's path (a link, a folder, a FIFO,
// a socket, a file of another user or one that cannot be opened) is reported, never removed.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        Primary,     // this process holds the lock now (see isListening())
        RaisedOther, // another instance runs and answered that it raised its window
        NoAnswer,    // another instance holds the lock but did not answer in time
        Blocked,     // something that is no lock file of ours stands at lockFilePath(); see errorString()
        NoLockFile,  // nothing stands at lockFilePath(), and the lock file cannot be made there
                     // (a read-only or full file system, say); see errorString()
        Unavailable, // the folder could not be made; see errorString()
    };
    // A connection that sends more than this without a line feed is dropped.
    static constexpr qint64 kMaxRequestBytes = 64;

    explicit SingleInstance(QString directory, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Becomes the running instance or asks the running one to come forward, trying again until
    // `timeout` passes while the other one is starting or quitting. Blocks; call it once at start.
    // A primary that cannot listen keeps its lock (errorString() says why): a second start then
    // reports an instance that does not answer instead of running beside it.
    Outcome claim(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    const QString& directory() const { return m_directory; }
    bool isPrimary() const;
    bool isListening() const;
    QString errorString() const { return m_error; }

    // Where the lock file of `directory` is: beside socketName(), or in `directory` itself when
    // there is no private folder.
    static QString lockFilePath(const QString& directory);
    // The socket of `directory`, named after it in the private runtime folder (the temporary one
    // when the user's is too deep for a socket address or cannot be written to); empty when there
    // is no such folder.
    static QString socketName(const QString& directory);

Q_SIGNALS:
    // Another start of the program asked this one to show its window.
    void raiseRequested();

private:
    void listen();
    bool askRunningInstance(int timeoutMs);
    void serveConnection();

    QString m_directory;
    platform::UniqueFd m_lock;
    QLocalServer* m_server = nullptr;
    QString m_error;
};

} // namespace orvalink::ui
