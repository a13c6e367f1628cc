#include "ui/shell/SingleInstance.h"

#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/PrivateRuntimeDirectory.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <optional>
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
// A lock file is a few short lines; anything longer is not one of ours.
constexpr qint64 kMaxLockFileBytes = 4096;

using FileIdentity = std::pair<dev_t, ino_t>;

std::optional<FileIdentity> fileIdentity(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

bool isSocket(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

// Whether the lock file names a process that runs on this machine now. The lines are the lock
// file's own: process id, application name, host name, and (when written) machine and boot ids.
bool namesLiveLocalProcess(const QString& lockPath)
{
    QFile file(lockPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = file.read(kMaxLockFileBytes).split('\n');
    if (lines.size() < 3)
        return false;
    bool ok = false;
    const qint64 pid = lines[0].toLongLong(&ok);
    if (!ok || pid <= 0 || pid != qint64(pid_t(pid)))
        return false;
    const QByteArray machineId = lines.value(3);
    const QByteArray bootId = lines.value(4);
    const bool sameMachine = machineId.isEmpty()
                                 ? lines[2].isEmpty() || lines[2] == QSysInfo::machineHostName().toUtf8()
                                 : machineId == QSysInfo::machineUniqueId();
    if (!sameMachine || (!bootId.isEmpty() && bootId != QSysInfo::bootUniqueId()))
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
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
    return directory + QStringLiteral("/instance.lock");
}

QString SingleInstance::socketName(const QString& directory)
{
    // Several application-support folders (tests, other users' copies) each get their own socket.
    const QByteArray digest =
        QCryptographicHash::hash(QFile::encodeName(directory), QCryptographicHash::Sha256).toHex().left(16);
    const QString file = QStringLiteral("/orvalink-%1.socket").arg(QString::fromLatin1(digest));
    const auto fits = [&](const std::optional<QString>& folder) {
        return folder && QFile::encodeName(*folder + file).size() <= kMaxSocketPathBytes;
    };
    // A runtime folder too deep for a socket address gives way to our private temporary one.
    if (const std::optional<QString> runtime = platform::userRuntimeDirectory(); fits(runtime))
        return *runtime + file;
    if (const std::optional<QString> temporary = platform::privateTemporaryDirectory(); fits(temporary))
        return *temporary + file;
    return QString();
}

bool SingleInstance::isPrimary() const
{
    return m_lock && m_lock->isLocked();
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
    m_lock = std::make_unique<QLockFile>(lockPath);
    // The lock is held for the whole run: it must never turn stale by age, only when its holder is
    // gone. (On local file systems the holder's native lock already guards it; not everywhere.)
    m_lock->setStaleLockTime(0);

    const QDeadlineTimer deadline(timeout);
    // The lock file last seen without a holder we can verify (none: {0, 0}), and for how long.
    FileIdentity unverified{};
    QElapsedTimer unverifiedFor;
    for (;;) {
        if (m_lock->tryLock(0)) {
            listen();
            return Outcome::Primary;
        }
        if (m_lock->error() != QLockFile::LockFailedError) {
            m_error = QStringLiteral("cannot create the lock file %1").arg(lockPath);
            return Outcome::Unavailable;
        }
        if (askRunningInstance(int(std::max<qint64>(1, deadline.remainingTime()))))
            return Outcome::RaisedOther;

        const std::optional<FileIdentity> identity = fileIdentity(lockPath);
        if (!identity || namesLiveLocalProcess(lockPath)) {
            unverified = {};
        } else if (unverified != *identity) {
            // A new lock file: its writer may still be filling it in. Give it the grace first.
            unverified = *identity;
            unverifiedFor.start();
        } else if (unverifiedFor.elapsed() >= kTakeOverGrace.count()) {
            // Nobody answered for it all along. The native lock still protects a live holder on
            // this machine: removal fails while one holds the file.
            if (fileIdentity(lockPath) == identity && !namesLiveLocalProcess(lockPath) &&
                m_lock->removeStaleLockFile()) {
                unverified = {};
                continue;
            }
        }
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
