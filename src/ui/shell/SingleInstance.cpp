#include "ui/shell/SingleInstance.h"

#include "platform/FileIO.h"
#include "platform/PlatformError.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QTimer>
#include <unistd.h>

namespace orvalink::ui {

namespace {

const QByteArray kRaiseRequest = "raise\n";
const QByteArray kRaisedAnswer = "raised\n";
// Room of sockaddr_un::sun_path (108 bytes on Linux) with a margin.
constexpr qsizetype kMaxSocketPathBytes = 100;
// A connection that sends no request in this time is dropped.
constexpr int kConnectionTimeoutMs = 5000;
constexpr int kRetryPauseMs = 50;

} // namespace

SingleInstance::SingleInstance(QString directory, QObject* parent)
    : QObject(parent), m_directory(std::move(directory))
{}

SingleInstance::~SingleInstance()
{
    // The socket goes before the lock, so a start that takes the lock next can listen at once.
    if (m_server)
        m_server->close();
}

QString SingleInstance::lockFilePath(const QString& directory)
{
    return directory + QStringLiteral("/instance.lock");
}

QString SingleInstance::socketName(const QString& directory)
{
    const QString inFolder = directory + QStringLiteral("/instance.socket");
    if (QFile::encodeName(inFolder).size() <= kMaxSocketPathBytes)
        return inFolder;
    // A folder too deep for a socket path: a name derived from the folder in the temporary folder.
    const QByteArray digest =
        QCryptographicHash::hash(QFile::encodeName(directory), QCryptographicHash::Sha256).toHex().left(24);
    return QDir::tempPath() +
           QStringLiteral("/orvalink-%1-%2.socket").arg(getuid()).arg(QString::fromLatin1(digest));
}

bool SingleInstance::isPrimary() const
{
    return m_lock && m_lock->isLocked() && m_server && m_server->isListening();
}

SingleInstance::Outcome SingleInstance::claim(std::chrono::milliseconds timeout)
{
    try {
        platform::createDirectories(m_directory);
    } catch (const platform::PlatformError& error) {
        m_error = QString::fromUtf8(error.what());
        return Outcome::Unavailable;
    }
    m_lock = std::make_unique<QLockFile>(lockFilePath(m_directory));
    // The lock is held for the whole run: it must never turn stale by age, only when its holder is
    // gone. (On local file systems the holder's native lock already guards it; not everywhere.)
    m_lock->setStaleLockTime(0);

    const QDeadlineTimer deadline(timeout);
    for (;;) {
        if (m_lock->tryLock(0))
            return listen() ? Outcome::Primary : Outcome::Unavailable;
        if (m_lock->error() != QLockFile::LockFailedError) {
            m_error = QStringLiteral("cannot create the lock file %1").arg(lockFilePath(m_directory));
            return Outcome::Unavailable;
        }
        if (askRunningInstance(int(std::max<qint64>(1, deadline.remainingTime()))))
            return Outcome::RaisedOther;
        if (deadline.hasExpired())
            return Outcome::NoAnswer;
        // The holder is starting (not listening yet) or quitting (lock not yet released).
        QThread::msleep(kRetryPauseMs);
    }
}

bool SingleInstance::listen()
{
    const QString name = socketName(m_directory);
    // Only the lock holder listens, so a socket file left here is from a run that ended abruptly.
    QLocalServer::removeServer(name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name)) {
        m_error = QStringLiteral("cannot listen on %1: %2").arg(name, m_server->errorString());
        delete m_server;
        m_server = nullptr;
        m_lock->unlock();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::serveConnection);
    return true;
}

void SingleInstance::serveConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kConnectionTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine() == kRaiseRequest) {
                Q_EMIT raiseRequested();
                socket->write(kRaisedAnswer);
            }
            socket->disconnectFromServer();
        });
    }
}

bool SingleInstance::askRunningInstance(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(socketName(m_directory));
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    socket.write(kRaiseRequest);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() ||
            !socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            return false;
    }
    return socket.readLine() == kRaisedAnswer;
}

} // namespace orvalink::ui
