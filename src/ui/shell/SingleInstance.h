#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

class QLocalServer;
class QLockFile;

namespace orvalink::ui {

// Makes sure one instance of the program runs per application-support folder: two instances would
// append to the same history files and could lose records. The first start holds a lock file in
// that folder and listens on a local socket; a later start finds the lock taken, asks the running
// instance to raise its window and learns whether it answered.
//
// The socket lives in a folder only this user can enter (platform::privateRuntimeDirectory), so no
// other user can take its name. A lock whose holder cannot be verified (an empty or garbled file,
// or one written on another machine, whose process this one cannot see) and that nobody answers
// for during a short grace is taken over; a lock held by a live process on this machine never is.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        Primary,     // this process holds the lock now (see isListening())
        RaisedOther, // another instance runs and answered that it raised its window
        NoAnswer,    // another instance holds the lock but did not answer in time
        Unavailable, // the folder or the lock could not be used; see errorString()
    };

    // How long a lock whose holder cannot be verified must stay unanswered before it is taken over.
    static constexpr std::chrono::milliseconds kTakeOverGrace{1000};
    // A connection that sends more than this without a line feed is dropped.
    static constexpr qint64 kMaxRequestBytes = 64;

    explicit SingleInstance(QString directory, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Becomes the running instance or asks the running one to come forward, trying again until
    // `timeout` passes while the other one is starting or quitting. Blocks; call it once at start.
    // A primary that cannot listen keeps its lock (errorString() says why): a second start then
    // reports an instance that does not answer instead of running beside it.
    Outcome claim(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    bool isPrimary() const;
    bool isListening() const;
    QString errorString() const { return m_error; }

    // Where the lock file of `directory` is.
    static QString lockFilePath(const QString& directory);
    // The socket of `directory`, named after it in the private runtime folder (the temporary one
    // when the user's is too deep for a socket address); empty when there is no such folder.
    static QString socketName(const QString& directory);

Q_SIGNALS:
    // Another start of the program asked this one to show its window.
    void raiseRequested();

private:
    void listen();
    bool askRunningInstance(int timeoutMs);
    void serveConnection();

    QString m_directory;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    QString m_error;
};

} // namespace orvalink::ui
