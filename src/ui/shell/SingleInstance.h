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
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        Primary,     // this process is the running instance now
        RaisedOther, // another instance runs and answered that it raised its window
        NoAnswer,    // another instance holds the lock but did not answer in time
        Unavailable, // the folder or the lock could not be used; see errorString()
    };

    explicit SingleInstance(QString directory, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Becomes the running instance or asks the running one to come forward, trying again until
    // `timeout` passes while the other one is starting or quitting. Blocks; call it once at start.
    Outcome claim(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    bool isPrimary() const;
    QString errorString() const { return m_error; }

    // Where the lock file and the socket of `directory` are.
    static QString lockFilePath(const QString& directory);
    static QString socketName(const QString& directory);

Q_SIGNALS:
    // Another start of the program asked this one to show its window.
    void raiseRequested();

private:
    bool listen();
    bool askRunningInstance(int timeoutMs);
    void serveConnection();

    QString m_directory;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    QString m_error;
};

} // namespace orvalink::ui
