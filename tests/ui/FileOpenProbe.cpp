#include "FileOpenProbe.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::test {

FileOpenProbe::FileOpenProbe(const QString& fifoPath) : m_fifo(fifoPath)
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
}

bool FileOpenProbe::watch(const QString& folder)
{
    return m_watch.watch(folder);
}

QStringList FileOpenProbe::openedFiles()
{
    QStringList files;
    for (const QString& event : m_watch.events()) {
        const qsizetype space = event.indexOf(QLatin1Char(' '));
        const QString kinds = event.left(space);
        if (kinds.contains(QStringLiteral("OPEN")) || kinds.contains(QStringLiteral("ACCESS")))
            files.append(event.mid(space + 1));
    }
    return files;
}

} // namespace orvalink::test
