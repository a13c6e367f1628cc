#include "platform/EntryLocation.h"

#include "platform/PlatformError.h"
#include "platform/StandardPath.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>

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
