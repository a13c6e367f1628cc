#include "FileOpenProbe.h"

#include <QFile>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::test {

FileOpenProbe::FileOpenProbe(const QString& fifoPath)
    : m_fifo(fifoPath), m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    const QByteArray fifo = QFile::encodeName(m_fifo);
    m_fifoMade = ::mkfifo(fifo.constData(), 0600) == 0;
    if (!m_fifoMade)
        return;
    m_feeder = std::thread([this, fifo] {
        while (!m_stopFeeding) {
            const int fd = ::open(fifo.constData(), O_WRONLY);
            if (fd < 0)
                return;
            if (!m_stopFeeding) [[maybe_unused]]
                const ssize_t written = ::write(fd, "x", 1);
            ::close(fd);
        }
    });
}

FileOpenProbe::~FileOpenProbe()
{
    if (m_feeder.joinable()) {
        // The feeder waits for a reader: this one lets it go.
        m_stopFeeding = true;
        const int reader = ::open(QFile::encodeName(m_fifo).constData(), O_RDONLY | O_NONBLOCK);
        m_feeder.join();
        if (reader >= 0)
            ::close(reader);
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FileOpenProbe::watch(const QString& folder)
{
    const int wd = ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_OPEN | IN_ACCESS);
    if (wd >= 0)
        m_folders.insert(wd, folder);
    return wd >= 0;
}

QStringList FileOpenProbe::openedFiles()
{
    QStringList files;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length <= 0)
            return files;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            files.append(m_folders.value(event->wd) + QLatin1Char('/') +
                         QFile::decodeName(event->len > 0 ? event->name : ""));
            offset += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

} // namespace orvalink::test
