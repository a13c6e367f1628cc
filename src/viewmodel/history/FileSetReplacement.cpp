#include "viewmodel/history/FileSetReplacement.h"

#include "model/StoreNames.h"
#include "platform/AtomicFileWriter.h"
#include "platform/EntryIdentity.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvalink {

namespace {

// Keeps a copy of the file reached at `path` as its backup, a file of its own; false when no file is
// reached there (a stale backup then goes). A copy, not a second name: when the path is a symbolic
// link, a link (or a hard link to the link) would lead to the very file about to be replaced.
bool keepBackup(const QString& path)
{
    const QString backup = StoreNames::backupOf(path);
    std::optional<QByteArray> content;
    try {
        content = platform::readWholeFile(path);
    } catch (const platform::PlatformError& error) {
        if (error.errorNumber() != ENOENT)
            throw;
    }
    // A backup that is a link (older versions left one) is removed as a link: written through, it
    // would overwrite what it leads to.
    if (!content || platform::entryStatus(backup).kind == platform::EntryKind::symbolicLink)
        QFile::remove(backup);
    if (!content)
        return false;
    platform::writeFileAtomically(backup, *content, 0600);
    return true;
}

// Which file stands at `location` itself; none when nothing does.
std::optional<platform::EntryIdentity> identityAt(const platform::EntryLocation& location)
{
    struct stat info {};
    if (::fstatat(location.parent.get(), location.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return platform::EntryIdentity::of(info);
}

// Puts back what a replaced file held before, or removes the file when there was none, but only
// while the file there is still the one the replacement put in place: a file another program (a
// sync client) has put there since is its own, later content, and stays.
void restoreFromBackup(const QString& path, bool hadPrevious, const platform::EntryIdentity& placed)
{
    try {
        // The new file stands where the path leads, which a link there still does.
        const platform::EntryLocation location = platform::locateLinkedFile(path);
        if (identityAt(location) != placed)
            return;
        if (hadPrevious)
            platform::writeFileAtomically(path, platform::readWholeFile(StoreNames::backupOf(path)), 0600);
        else
            ::unlinkat(location.parent.get(), location.name.constData(), 0);
    } catch (const std::exception&) {
        // The backup beside it still holds the previous content.
    }
}

// The new content, whole on disk under a temporary name beside the file.
std::unique_ptr<platform::AtomicFileWriter> staged(const FileReplacement& replacement)
{
    platform::createDirectories(platform::parentPath(replacement.path));
    auto file = std::make_unique<platform::AtomicFileWriter>(replacement.path, 0600);
    file->write(replacement.content);
    file->seal();
    return file;
}

} // namespace

void replaceFilesTogether(const QList<FileReplacement>& replacements)
{
    std::vector<bool> hadPrevious;
    for (const FileReplacement& replacement : replacements)
        hadPrevious.push_back(keepBackup(replacement.path));

    // Unfinished temporary files are discarded when these go out of scope.
    std::vector<std::unique_ptr<platform::AtomicFileWriter>> files;
    for (const FileReplacement& replacement : replacements)
        files.push_back(staged(replacement));

    for (size_t index = 0; index < files.size(); ++index) {
        try {
            files[index]->commit();
        } catch (const platform::PlatformError&) {
            const size_t replaced = files[index]->isCommitted() ? index + 1 : index;
            for (size_t done = 0; done < replaced; ++done)
                restoreFromBackup(replacements[done].path, hadPrevious[done], files[done]->identity());
            throw;
        }
    }
}

} // namespace orvalink
