#include "support/FailingFolder.h"

#include "support/MountNamespace.h"

#include <QDir>
#include <QFile>
#include <QtGlobal>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace orvalink::test {

const char* writeFaultName(WriteFault fault)
{
    switch (fault) {
    case WriteFault::diskFull:
        return "disk full";
    case WriteFault::readOnly:
        return "read-only";
    }
    return "?";
}

FailingFolder::FailingFolder(const QString& path, qint64 sizeBytes) : m_mount(path, sizeBytes) {}

FailingFolder::~FailingFolder()
{
    heal();
}

std::optional<QString> FailingFolder::skipReason() const
{
    if (m_mount.isValid())
        return std::nullopt;
    return m_mount.skipReason();
}

QString FailingFolder::fillerPath() const
{
    return path() + QStringLiteral("/.filler");
}

bool FailingFolder::fail(WriteFault fault)
{
    if (!m_mount.isValid() || m_fault)
        return false;
    switch (fault) {
    case WriteFault::diskFull: {
        // Written until the file system has not one page left: even a one-byte write then fails.
        const int fd = ::open(QFile::encodeName(fillerPath()).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            qWarning("cannot create the filler: %s", std::strerror(errno));
            return false;
        }
        static const QByteArray chunk(64 * 1024, 'f');
        int error = 0;
        for (qsizetype size = chunk.size(); size > 0;) {
            const ssize_t written = ::write(fd, chunk.constData(), size_t(size));
            if (written >= 0)
                continue;
            error = errno;
            if (error != ENOSPC)
                break;
            // The last pages are filled by smaller writes.
            size /= 2;
            error = 0;
        }
        ::close(fd);
        if (error != 0) {
            qWarning("cannot fill the folder: %s", std::strerror(error));
            return false;
        }
        break;
    }
    case WriteFault::readOnly:
        if (const int error = mounts::mount({}, path(), nullptr, MS_REMOUNT | MS_RDONLY); error != 0) {
            qWarning("cannot remount read-only: %s", std::strerror(error));
            return false;
        }
        break;
    }
    m_fault = fault;
    return true;
}

void FailingFolder::heal()
{
    if (!m_fault)
        return;
    switch (*m_fault) {
    case WriteFault::diskFull:
        QFile::remove(fillerPath());
        break;
    case WriteFault::readOnly:
        mounts::mount({}, path(), nullptr, MS_REMOUNT);
        break;
    }
    m_fault.reset();
}

} // namespace orvalink::test
