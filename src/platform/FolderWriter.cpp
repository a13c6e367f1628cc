#include "platform/FolderWriter.h"

#include "platform/FileIO.h"
#include "platform/PlatformError.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

bool isSingleComponent(const QString& name)
{
    return !name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

} // namespace

FolderWriter::FolderWriter(const QString& folder) : m_path(folder)
{
    m_folder = UniqueFd(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (m_folder.isValid())
        return;
    const int error = errno;
    // With O_DIRECTORY the kernel reports a link as "not a directory"; say what it is.
    struct stat info {};
    if (::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISLNK(info.st_mode))
        throw PlatformError(ELOOP, QStringLiteral("Refusing to write through a symbolic link: ") + folder);
    throw PlatformError::fromErrno(error, folder);
}

void FolderWriter::replaceFile(const QString& name, const QByteArray& data) const
{
    const QString path = m_path + QLatin1Char('/') + name;
    if (!isSingleComponent(name))
        throw PlatformError::fromErrno(EINVAL, path);
    const QByteArray finalName = QFile::encodeName(name);
    QByteArray created;
    // Hidden beside the file while it is written.
    UniqueFd file = createUniqueFile(m_folder.get(), '.' + finalName + '.', created);
    if (!file.isValid())
        throw PlatformError::fromErrno(errno, path);
    int error = writeAll(file.get(), data);
    if (error == 0 && ::fsync(file.get()) != 0)
        error = errno;
    if (const int closeError = file.close(); error == 0)
        error = closeError;
    // rename(2) replaces the entry at the final name itself; a link there is never resolved.
    if (error == 0 &&
        ::renameat(m_folder.get(), created.constData(), m_folder.get(), finalName.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlinkat(m_folder.get(), created.constData(), 0);
        throw PlatformError::fromErrno(error, path);
    }
    if (::fsync(m_folder.get()) != 0 && errno != EINVAL)
        throw PlatformError::fromErrno(errno, m_path);
}

} // namespace orvalink::platform
