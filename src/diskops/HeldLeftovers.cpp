#include "diskops/HeldLeftovers.h"

#include "diskops/ActiveProcessService.h"

#include <QFile>
#include <sys/stat.h>

namespace orvalink {

HeldLeftovers heldAmong(const QStringList& paths, const QSet<platform::EntryIdentity>& held,
                        const QString& staging)
{
    HeldLeftovers found;
    if (held.isEmpty())
        return found;
    for (const QString& path : paths) {
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) == 0 &&
            held.contains(platform::EntryIdentity::of(info)))
            found.paths.append(path);
    }
    if (!found.isEmpty()) {
        found.programs = ActiveProcessService().activeProcessNames(staging);
        found.programs.removeDuplicates();
    }
    return found;
}

} // namespace orvalink
