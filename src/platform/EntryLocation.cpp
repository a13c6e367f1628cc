#include "platform/EntryLocation.h"

#include "platform/PlatformError.h"
#include "platform/StandardPath.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace orvalink::platform {

UniqueFd openDirectoryPath(const QByteArray& path, int flags)
{
    flags |= O_DIRECTORY | O_CLOEXEC;
    UniqueFd direct(::open(path.constData(), flags));
    if (direct.isValid() || errno != ENAMETOOLONG)
        return direct;
    // The kernel refuses the whole text, not the directory: walk to it relative to each step.
    QList<QByteArray> parts = path.split('/');
    parts.removeAll(QByteArray());
    UniqueFd current(
        ::open(path.startsWith('/') ? "/" : ".", parts.isEmpty() ? flags : O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (qsizetype i = 0; i < parts.size() && current.isValid(); ++i) {
        const int stepFlags = i == parts.size() - 1 ? flags : O_PATH | O_DIRECTORY | O_CLOEXEC;
        current = UniqueFd(::openat(current.get(), parts[i].constData(), stepFlags));
    }
    return current;
}

namespace {

UniqueFd openat2Beneath(int directory, const char* relative, int flags)
{
    struct open_how how {};
    how.flags = quint64(flags | O_NOFOLLOW | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV;
    return UniqueFd(int(::syscall(SYS_openat2, directory, relative, &how, sizeof how)));
}

} // namespace

UniqueFd openBeneath(int directory, const QByteArray& relative, int flags)
{
    UniqueFd direct = openat2Beneath(directory, relative.constData(), flags);
    if (direct.isValid() || errno != ENAMETOOLONG)
        return direct;
    // Deeper than PATH_MAX: one component at a time, holding one folder open at each step.
    const QList<QByteArray> parts = relative.split('/');
    UniqueFd current;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const int from = current.isValid() ? current.get() : directory;
        const bool last = i == parts.size() - 1;
        UniqueFd next = openat2Beneath(from, parts[i].constData(), last ? flags : O_PATH | O_DIRECTORY);
        if (!next.isValid())
            return next;
        current = std::move(next);
    }
    return current;
}

EntryLocation EntryLocation::open(const QString& path)
{
    EntryLocation location;
    location.path = standardizedPath(path);
    const qsizetype slash = location.path.lastIndexOf(QLatin1Char('/'));
    location.name = QFile::encodeName(location.path.mid(slash + 1));
    if (location.name.isEmpty())
        throw PlatformError::fromErrno(EINVAL, location.path);
    const QString parentPath = slash == 0 ? QStringLiteral("/") : location.path.left(slash);
    location.parent = openDirectoryPath(QFile::encodeName(parentPath), O_PATH);
    if (!location.parent.isValid())
        throw PlatformError::fromErrno(errno, parentPath);
    return location;
}

} // namespace orvalink::platform
