#include "platform/FolderWriter.h"

#include "platform/FileIO.h"
#include "platform/PlatformError.h"

#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

constexpr int kNameAttempts = 64;

bool isSingleComponent(const QString& name)
{
    return !name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

// A new file beside `name`, created exclusively: an entry planted under the chosen name (a link
// among them) makes the open fail with EEXIST, and another name is tried.
UniqueFd createBeside(int folder, const QByteArray& name, QByteArray& created)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        created = '.' + name + '.' +
                  QByteArray::number(QRandomGenerator::system()->generate64(), 36).rightJustified(13, '0');
        UniqueFd fd(::openat(folder, created.constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (fd.isValid() || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return UniqueFd();
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
    UniqueFd file = createBeside(m_folder.get(), finalName, created);
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
