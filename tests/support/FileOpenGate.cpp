#include "support/FileOpenGate.h"

#include <QFile>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/fanotify.h>
#include <unistd.h>

namespace orvalink::test {

FileOpenGate::FileOpenGate(const QString& folder, std::function<void()> atOpen, Openings openings,
                           std::function<bool(const struct stat&)> refuses)
    : m_atOpen(std::move(atOpen)), m_refuses(std::move(refuses))
{
    m_fanotify = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC | FAN_NONBLOCK, O_RDONLY | O_CLOEXEC);
    if (m_fanotify < 0) {
        m_skipReason =
            QStringLiteral("no fanotify permission events here: ") + QString::fromUtf8(std::strerror(errno));
        return;
    }
    const uint64_t mask = (openings == Openings::reads ? FAN_ACCESS_PERM : FAN_OPEN_PERM) |
                          FAN_EVENT_ON_CHILD | (openings == Openings::filesAndFolders ? FAN_ONDIR : 0);
    if (::fanotify_mark(m_fanotify, FAN_MARK_ADD, mask, AT_FDCWD, QFile::encodeName(folder).constData()) !=
        0) {
        m_skipReason = QStringLiteral("cannot watch ") + folder + QStringLiteral(": ") +
                       QString::fromUtf8(std::strerror(errno));
        ::close(m_fanotify);
        m_fanotify = -1;
        return;
    }
    m_stop = ::eventfd(0, EFD_CLOEXEC);
    m_thread = std::thread([this] { run(); });
}

FileOpenGate::~FileOpenGate()
{
    if (m_thread.joinable()) {
        const quint64 one = 1;
        if (::write(m_stop, &one, sizeof one) != sizeof one)
            ::abort(); // the thread would wait for ever
        m_thread.join();
    }
    // Closing the group lets whatever still waits through.
    if (m_fanotify >= 0)
        ::close(m_fanotify);
    if (m_stop >= 0)
        ::close(m_stop);
}

std::optional<QString> FileOpenGate::skipReason() const
{
    if (m_thread.joinable())
        return std::nullopt;
    return m_skipReason;
}

void FileOpenGate::run()
{
    alignas(fanotify_event_metadata) char buffer[4096];
    for (;;) {
        pollfd waits[2] = {{m_fanotify, POLLIN, 0}, {m_stop, POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0 && errno != EINTR)
            return;
        if (waits[1].revents != 0)
            return;
        const ssize_t length = ::read(m_fanotify, buffer, sizeof buffer);
        if (length <= 0)
            continue;
        auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
        for (ssize_t left = length; FAN_EVENT_OK(event, left); event = FAN_EVENT_NEXT(event, left)) {
            if (event->mask & (FAN_OPEN_PERM | FAN_ACCESS_PERM)) {
                m_atOpen();
                struct stat info {};
                const bool refused = m_refuses && ::fstat(event->fd, &info) == 0 && m_refuses(info);
                const fanotify_response allow{event->fd, static_cast<__u32>(refused ? FAN_DENY : FAN_ALLOW)};
                if (::write(m_fanotify, &allow, sizeof allow) != sizeof allow)
                    ::abort(); // the opener would wait for ever
            }
            if (event->fd >= 0)
                ::close(event->fd);
        }
    }
}

} // namespace orvalink::test
