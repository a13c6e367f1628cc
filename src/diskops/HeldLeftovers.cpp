#include "diskops/HeldLeftovers.h"

#include "diskops/ActiveProcessService.h"

#include <QFile>
#include <sys/stat.h>

namespace orvalink {

QStringList heldAmong(const QStringList& paths, const QSet<platform::EntryIdentity>& inUse)
{
    QStringList held;
    if (inUse.isEmpty())
        return held;
    for (const QString& path : paths) {
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISDIR(info.st_mode) &&
            inUse.contains(platform::EntryIdentity::of(info)))
            held.append(path);
    }
    return held;
}

HeldLeftovers heldLeftovers(const QStringList& paths, const QString& place)
{
    HeldLeftovers held{paths, {}};
    if (!held.isEmpty()) {
        held.programs = ActiveProcessService().activeProcessNames(place);
        held.programs.removeDuplicates();
    }
    return held;
}

} // namespace orvalink
