#include "diskops/CreatedFolders.h"

#include "platform/FileIO.h"
#include "platform/StandardPath.h"

#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink {

QStringList missingFolders(const QString& path)
{
    QStringList missing;
    for (QString each = platform::standardizedPath(path);
         each != QLatin1String("/") && !platform::entryExists(each); each = platform::parentPath(each))
        missing.append(each);
    return missing;
}

QStringList foldersBelowTargetRoot(const QString& sourcePath, const QString& targetPath)
{
    const QString source = platform::standardizedPath(sourcePath);
    const QString target = platform::standardizedPath(targetPath);
    if (source == QLatin1String("/") || !target.endsWith(source) || target.size() == source.size())
        return {};
    const QString root = target.left(target.size() - source.size());
    QStringList folders;
    for (QString each = platform::parentPath(target); each.size() > root.size();
         each = platform::parentPath(each))
        folders.append(each);
    return folders;
}

void removeEmptyFolders(const QStringList& folders)
{
    for (const QString& folder : folders) {
        // rmdir takes only an empty directory and never follows a link in the last component. A
        // folder that cannot even be looked at (the volume went away) stays as well.
        struct stat info {};
        const QByteArray native = QFile::encodeName(folder);
        if (::lstat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode))
            ::rmdir(native.constData());
    }
}

} // namespace orvalink
