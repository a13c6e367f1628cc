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

// As the kernel's own limit on links followed in one lookup.
constexpr int kMaxLinkHops = 40;

QString childPath(const QString& folder, const QString& name)
{
    return folder == QLatin1String("/") ? folder + name : folder + QLatin1Char('/') + name;
}

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

std::optional<QString> folderPathOf(int fd)
{
    const std::optional<QString> text = readSymbolicLink(QStringLiteral("/proc/self/fd/%1").arg(fd));
    if (!text || !text->startsWith(QLatin1Char('/')))
        return std::nullopt;
    return *text;
}

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

EntryLocation locateLinkedFile(const QString& path)
{
    EntryLocation location = EntryLocation::open(path);
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        const std::optional<QString> text = readSymbolicLinkAt(location.parent.get(), location.name);
        if (!text)
            return location;
        if (text->isEmpty())
            throw PlatformError::fromErrno(ENOENT, location.path);
        const qsizetype slash = text->lastIndexOf(QLatin1Char('/'));
        const QString name = text->mid(slash + 1);
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
            throw PlatformError::fromErrno(EISDIR, location.path);
        // The folder part is looked up from the folder that really holds the link (an absolute one
        // from the root): the kernel's own walk, links and ".." alike.
        const QString folderText = slash < 0    ? QStringLiteral(".")
                                   : slash == 0 ? QStringLiteral("/")
                                                : text->left(slash);
        const QString guess = standardizedPath(
            text->startsWith(QLatin1Char('/')) ? *text : location.path + QStringLiteral("/../") + *text);
        UniqueFd folder(::openat(location.parent.get(), QFile::encodeName(folderText).constData(),
                                 O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!folder.isValid())
            throw PlatformError::fromErrno(errno, parentPath(guess));
        location.parent = std::move(folder);
        location.name = QFile::encodeName(name);
        const std::optional<QString> folderPath = folderPathOf(location.parent.get());
        location.path = folderPath ? childPath(*folderPath, name) : guess;
    }
    throw PlatformError::fromErrno(ELOOP, path);
}

std::optional<QString> anchoredLinkText(const QString& path)
{
    const std::optional<QString> text = readSymbolicLink(path);
    if (!text || text->startsWith(QLatin1Char('/')))
        return text;
    try {
        const EntryLocation link = EntryLocation::open(path);
        const std::optional<QString> folderPath = folderPathOf(link.parent.get());
        if (!folderPath)
            return std::nullopt;
        return childPath(*folderPath, *text);
    } catch (const PlatformError&) {
        return std::nullopt;
    }
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
