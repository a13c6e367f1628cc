#include "support/FileAccessWatch.h"

#include <QDirIterator>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace orvalink::test {

namespace {

constexpr uint32_t kWatched = IN_OPEN | IN_ACCESS | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE |
                              IN_DELETE | IN_DELETE_SELF | IN_MOVED_FROM | IN_MOVED_TO | IN_MOVE_SELF;

QString describe(uint32_t mask)
{
    QStringList names;
    const std::pair<uint32_t, const char*> known[] = {
        {IN_OPEN, "OPEN"},         {IN_ACCESS, "ACCESS"},           {IN_MODIFY, "MODIFY"},
        {IN_ATTRIB, "ATTRIB"},     {IN_CLOSE_WRITE, "CLOSE_WRITE"}, {IN_CREATE, "CREATE"},
        {IN_DELETE, "DELETE"},     {IN_DELETE_SELF, "DELETE_SELF"}, {IN_MOVED_FROM, "MOVED_FROM"},
        {IN_MOVED_TO, "MOVED_TO"}, {IN_MOVE_SELF, "MOVE_SELF"},     {IN_Q_OVERFLOW, "OVERFLOW"}};
    for (const auto& [bit, name] : known) {
        if (mask & bit)
            names.append(QString::fromLatin1(name));
    }
    return names.join(QLatin1Char('|'));
}

} // namespace

FileAccessWatch::FileAccessWatch(const QStringList& roots)
{
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        m_skipReason =
            QStringLiteral("inotify is not available: ") + QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    for (const QString& root : roots) {
        if (!watch(root))
            return;
    }
}

bool FileAccessWatch::watch(const QString& root)
{
    if (m_fd < 0)
        return false;
    QStringList folders{root};
    QDirIterator below(root, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                       QDirIterator::Subdirectories);
    while (below.hasNext())
        folders.append(below.next());
    for (const QString& folder : folders) {
        const int watch = ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), kWatched);
        if (watch < 0) {
            m_skipReason = QStringLiteral("cannot watch ") + folder + QStringLiteral(": ") +
                           QString::fromLocal8Bit(std::strerror(errno));
            ::close(m_fd);
            m_fd = -1;
            return false;
        }
        m_folders.insert(watch, folder);
    }
    return true;
}

FileAccessWatch::~FileAccessWatch()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QStringList FileAccessWatch::events()
{
    QStringList lines;
    alignas(struct inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + offset);
            QString path = m_folders.value(event->wd);
            if (event->len > 0)
                path += QLatin1Char('/') + QFile::decodeName(event->name);
            if (!(event->mask & IN_IGNORED))
                lines.append(describe(event->mask) + QLatin1Char(' ') + path);
            offset += ssize_t(sizeof(struct inotify_event)) + event->len;
        }
    }
    return lines;
}

} // namespace orvalink::test
