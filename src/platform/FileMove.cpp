#include "platform/FileMove.h"

#include "platform/EntryLocation.h"
#include "platform/FileSweep.h"
#include "platform/TreeCopier.h"
#include "platform/TreeRemoval.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>

namespace orvalink::platform {

MoveResult moveItem(const QString& source, const QString& destination, const MoveHooks& hooks)
{
    const EntryLocation from = EntryLocation::open(source);
    const EntryLocation to = EntryLocation::open(destination);
    if (::renameat2(from.parent.get(), from.name.constData(), to.parent.get(), to.name.constData(),
                    RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EXDEV) {
        const int error = errno;
        throw PlatformError(error, errnoText(error) + QStringLiteral(": ") + from.path +
                                       QStringLiteral(" -> ") + to.path);
    }

    TreeCopier copier(from, to, hooks.created);
    copier.copy();
    if (hooks.copied) {
        try {
            hooks.copied();
        } catch (...) {
            copier.discard();
            throw;
        }
    }

    // Only what the copy took, unchanged since, may go: anything written into the source meanwhile
    // exists nowhere else.
    RemovalRules rules;
    rules.mayRemove = [&copier](const struct stat& info) {
        return copier.copiedUnchanged(info);
    };
    // Files first, on several threads; the removal after them takes the directories and whatever
    // they left, and reports on it.
    sweepFiles(from.parent.get(), from.name, rules.mayRemove);
    RemovalOutcome removal = removeTreeAt(from.parent.get(), from.name, from.path, rules);

    MoveResult result;
    result.copiedAcrossFileSystems = true;
    result.leftoverPaths = std::move(removal.leftoverPaths);
    result.leftoverError = std::move(removal.firstError);
    result.refusedAttributes = copier.refusedAttributes();
    return result;
}

} // namespace orvalink::platform
