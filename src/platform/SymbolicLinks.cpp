#include "platform/SymbolicLinks.h"

#include "platform/EntryLocation.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

bool isLinkAt(const EntryLocation& location)
{
    struct stat info {};
    return ::fstatat(location.parent.get(), location.name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISLNK(info.st_mode);
}

[[noreturn]] void discardAndThrow(const EntryLocation& temporary, int error, const QString& path)
{
    ::unlinkat(temporary.parent.get(), temporary.name.constData(), 0);
    throw PlatformError::fromErrno(error, path);
}

} // namespace

std::optional<QString> readSymbolicLink(const QString& path)
{
    return readSymbolicLinkAt(AT_FDCWD, QFile::encodeName(path));
}

std::optional<QString> readSymbolicLink(const EntryLocation& location)
{
    return readSymbolicLinkAt(location.parent.get(), location.name);
}

std::optional<QString> readSymbolicLinkAt(int directoryFd, const QByteArray& name)
{
    QByteArray buffer(4096, Qt::Uninitialized);
    for (;;) {
        const ssize_t length =
            ::readlinkat(directoryFd, name.constData(), buffer.data(), size_t(buffer.size()));
        if (length < 0)
            return std::nullopt;
        if (length < buffer.size())
            return QFile::decodeName(buffer.left(length));
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<QString> symbolicLinkDestination(const QString& path)
{
    const std::optional<QString> text = readSymbolicLink(path);
    if (!text)
        return std::nullopt;
    // Lexically, "<link>/.." is the link's folder.
    return standardizedPath(text->startsWith(QLatin1Char('/')) ? *text
                                                               : path + QStringLiteral("/../") + *text);
}

void replaceSymbolicLink(const QString& linkPath, const QString& target, const QString& temporaryPath)
{
    const EntryLocation link = EntryLocation::open(linkPath);
    const EntryLocation temporary = EntryLocation::open(temporaryPath);
    if (::symlinkat(QFile::encodeName(target).constData(), temporary.parent.get(),
                    temporary.name.constData()) != 0)
        throw PlatformError::fromErrno(errno, temporary.path);
    if (!isLinkAt(link))
        discardAndThrow(temporary, EEXIST, link.path);

    if (::renameat2(temporary.parent.get(), temporary.name.constData(), link.parent.get(),
                    link.name.constData(), RENAME_EXCHANGE) == 0) {
        // The old entry now stands at the temporary name. Should something other than a link have
        // slipped in after the check, it goes back to its place instead of being removed.
        if (isLinkAt(temporary)) {
            ::unlinkat(temporary.parent.get(), temporary.name.constData(), 0);
            return;
        }
        if (::renameat2(temporary.parent.get(), temporary.name.constData(), link.parent.get(),
                        link.name.constData(), RENAME_EXCHANGE) != 0)
            throw PlatformError::fromErrno(errno, temporary.path);
        discardAndThrow(temporary, EEXIST, link.path);
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        discardAndThrow(temporary, errno, link.path);
    // A file system without exchange: a plain rename still replaces the link in one step.
    if (::renameat(temporary.parent.get(), temporary.name.constData(), link.parent.get(),
                   link.name.constData()) != 0)
        discardAndThrow(temporary, errno, link.path);
}

} // namespace orvalink::platform
