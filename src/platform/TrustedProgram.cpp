#include "platform/TrustedProgram.h"

#include <QFile>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace orvalink::platform {

namespace {

bool ownedByRootOrUs(const struct stat& info)
{
    return info.st_uid == 0 || info.st_uid == ::geteuid();
}

bool writableByOthers(const struct stat& info)
{
    return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// Each folder above `resolved` (an absolute path without links), "/" included.
bool foldersAreTrusted(QByteArray resolved)
{
    QByteArray folder = std::move(resolved);
    do {
        const qsizetype slash = folder.lastIndexOf('/');
        folder = slash <= 0 ? QByteArray("/") : folder.left(slash);
        struct stat info {};
        if (::lstat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || !ownedByRootOrUs(info))
            return false;
        if (writableByOthers(info) && (info.st_mode & S_ISVTX) == 0)
            return false;
    } while (folder != "/");
    return true;
}

} // namespace

std::optional<QString> trustedProgram(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || native.contains('\0'))
        return std::nullopt;
    char buffer[PATH_MAX];
    if (::realpath(native.constData(), buffer) == nullptr)
        return std::nullopt;
    const QByteArray resolved(buffer);
    struct stat info {};
    if (::lstat(resolved.constData(), &info) != 0 || !S_ISREG(info.st_mode) || !ownedByRootOrUs(info) ||
        writableByOthers(info))
        return std::nullopt;
    if (::faccessat(AT_FDCWD, resolved.constData(), X_OK, AT_EACCESS) != 0)
        return std::nullopt;
    if (!foldersAreTrusted(resolved))
        return std::nullopt;
    return QFile::decodeName(resolved);
}

} // namespace orvalink::platform
