#include "support/ImmutableFlag.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace orvalink::test {

ImmutableFlag::ImmutableFlag(QString path) : m_path(std::move(path))
{
    set();
}

ImmutableFlag::~ImmutableFlag()
{
    clear();
}

void ImmutableFlag::set()
{
    if (m_set)
        return;
    m_set = change(m_path, true);
    if (!m_set) {
        m_skipReason = QStringLiteral("cannot make %1 immutable: %2")
                           .arg(m_path, QString::fromUtf8(std::strerror(errno)));
    }
}

void ImmutableFlag::clear()
{
    if (m_set && change(m_path, false))
        m_set = false;
}

bool ImmutableFlag::change(const QString& path, bool immutable)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    const int error = errno;
    ::close(fd);
    errno = error;
    return done;
}

} // namespace orvalink::test
