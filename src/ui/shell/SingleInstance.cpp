#include "ui/shell/SingleInstance.h"

#include "platform/FileIO.h"
#include "platform/FileLock.h"
#include "platform/PlatformError.h"
#include "platform/PrivateRuntimeDirectory.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <sys/stat.h>
#include <utility>

namespace orvalink::ui {

namespace {

const QByteArray kRaiseRequest = "raise\n";
const QByteArray kRaisedAnswer = "raised\n";
// Room of sockaddr_un::sun_path (108 bytes on Linux) with a margin.
constexpr qsizetype kMaxSocketPathBytes = 100;
// A connection that sends no request in this time is dropped.
constexpr int kConnectionTimeoutMs = 5000;
constexpr int kRetryPauseMs = 50;
constexpr auto kSocketSuffix = QLatin1String(".socket");

bool isSocket(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

bool standsAt(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 || errno != ENOENT;
}

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
    const QString socket = socketName(directory);
    if (socket.isEmpty())
        return directory + QStringLiteral("/instance.lock");
    return socket.chopped(kSocketSuffix.size()) + QStringLiteral(".lock");
}

QString SingleInstance::socketName(const QString& directory)
{
    // Several application-support folders (tests, other users' copies) each get their own socket.
    const QByteArray digest =
        QCryptographicHash::hash(QFile::encodeName(directory), QCryptographicHash::Sha256).toHex().left(16);
    const QString file = QStringLiteral("/orvalink-") + QString::fromLatin1(digest) + kSocketSuffix;
    const auto fits = [&](const std::optional<QString>& folder) {
        return folder && QFile::encodeName(*folder + file).size() <= kMaxSocketPathBytes;
    };
    // A runtime folder too deep for a socket address, or one that cannot be written to (a read-only
    // file system), gives way to our private temporary one.
    if (const std::optional<QString> runtime = platform::userRuntimeDirectory(); fits(runtime))
        return *runtime + file;
    if (const std::optional<QString> temporary = platform::privateTemporaryDirectory(); fits(temporary))
        return *temporary + file;
    return QString();
}

bool SingleInstance::isPrimary() const
{
    return m_lock.isValid();
}

bool SingleInstance::isListening() const
{
    return isPrimary() && m_server && m_server->isListening();
}

SingleInstance::Outcome SingleInstance::claim(std::chrono::milliseconds timeout)
{
    try {
        platform::createDirectories(m_directory);
    } catch (const platform::PlatformError& error) {
        m_error = QString::fromUtf8(error.what());
        return Outcome::Unavailable;
    }
    const QString lockPath = lockFilePath(m_directory);
    const QDeadlineTimer deadline(timeout);
    for (;;) {
        try {
            m_lock = platform::lockFile(lockPath, false);
        } catch (const platform::UnsuitableFileError& error) {
            m_error = error.message();
            return Outcome::Blocked;
        } catch (const platform::PlatformError& error) {
            m_error = error.message();
            // Only something that stands there can be named and removed.
            return standsAt(lockPath) ? Outcome::Blocked : Outcome::NoLockFile;
        }
        if (m_lock.isValid()) {
            listen();
            return Outcome::Primary;
        }
        if (askRunningInstance(int(std::max<qint64>(1, deadline.remainingTime()))))
            return Outcome::RaisedOther;
        if (deadline.hasExpired())
            return Outcome::NoAnswer;
        // The holder is starting (not listening yet) or quitting (lock not yet released).
        QThread::msleep(kRetryPauseMs);
    }
}

void SingleInstance::listen()
{
    const QString name = socketName(m_directory);
    if (name.isEmpty()) {
        m_error = QStringLiteral("no private folder for the instance socket");
        return;
    }
    // Only the lock holder listens, so a socket left here is from a run that ended abruptly. Only a
    // socket is removed: anything else in its place is left alone, and this run keeps its lock
    // without listening.
    if (isSocket(name))
        QFile::remove(name);
    auto server = std::make_unique<QLocalServer>(this);
    // Bound in place: the folder already keeps other users out, and Qt's access options would
    // bind elsewhere and rename the socket over whatever stands at the name.
    server->setSocketOptions(QLocalServer::NoOptions);
    if (!server->listen(name)) {
        m_error = QStringLiteral("cannot listen on %1: %2").arg(name, server->errorString());
        return;
    }
    m_server = server.release();
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::serveConnection);
}

void SingleInstance::serveConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        // The request is one short line; no more than that is ever buffered.
        socket->setReadBufferSize(kMaxRequestBytes);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kConnectionTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() >= kMaxRequestBytes) {
                    socket->abort();
                    socket->deleteLater();
                }
                return;
            }
            if (socket->readLine(kMaxRequestBytes + 1) == kRaiseRequest) {
                Q_EMIT raiseRequested();
                socket->write(kRaisedAnswer);
            }
            socket->disconnectFromServer();
        });
    }
}

bool SingleInstance::askRunningInstance(int timeoutMs)
{
    const QString name = socketName(m_directory);
    if (name.isEmpty())
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.setReadBufferSize(kMaxRequestBytes);
    socket.connectToServer(name);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    socket.write(kRaiseRequest);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || socket.bytesAvailable() >= kMaxRequestBytes ||
            !socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            return false;
    }
    return socket.readLine(kMaxRequestBytes + 1) == kRaisedAnswer;
}

} // namespace orvalink::ui
