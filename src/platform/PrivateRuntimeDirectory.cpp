#include "platform/PrivateRuntimeDirectory.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

bool isPrivateDirectory(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

bool isUsablePrivateDirectory(const QString& path)
{
    // faccessat answers EROFS for a folder on a read-only file system, whatever its mode.
    return isPrivateDirectory(path) &&
           ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::optional<QString> userRuntimeDirectory()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.startsWith(QLatin1Char('/')) && isUsablePrivateDirectory(runtime))
        return QDir::cleanPath(runtime);
    return std::nullopt;
}

std::optional<QString> privateTemporaryDirectory()
{
    const QString own = QDir::tempPath() + QStringLiteral("/orvalink-%1").arg(::geteuid());
    const QByteArray native = QFile::encodeName(own);
    // An existing folder is only used after the check below: whoever made it must be us.
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return std::nullopt;
    if (!isUsablePrivateDirectory(own))
        return std::nullopt;
    return own;
}

std::optional<QString> privateRuntimeDirectory()
{
    if (std::optional<QString> runtime = userRuntimeDirectory())
        return runtime;
    return privateTemporaryDirectory();
}

} // namespace orvalink::platform
