#include "diskops/CreatedFolders.h"

#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/StandardPath.h"

#include <QFile>
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
        // rmdir takes only an empty directory and never follows a link in the last component.
        if (platform::entryStatus(folder).kind == platform::EntryKind::directory)
            ::rmdir(QFile::encodeName(folder).constData());
    }
}

} // namespace orvalink
