#include "viewmodel/history/FileSetReplacement.h"

#include "platform/AtomicFileWriter.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"

#include <QFile>
#include <cerrno>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvalink {

namespace {

QString backupPath(const QString& path)
{
    return path + QStringLiteral(".bak");
}

// Keeps a copy of the file reached at `path` as its backup, a file of its own; false when no file is
// reached there (a stale backup then goes). A copy, not a second name: when the path is a symbolic
// link, a link (or a hard link to the link) would lead to the very file about to be replaced.
bool keepBackup(const QString& path)
{
    const QString backup = backupPath(path);
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

// Puts back what a replaced file held before.
void restoreFromBackup(const QString& path, bool hadPrevious)
{
    try {
        if (hadPrevious) {
            platform::writeFileAtomically(path, platform::readWholeFile(backupPath(path)), 0600);
            return;
        }
        // The new file stands where the path leads, which a link there still does.
        const platform::EntryLocation created = platform::locateLinkedFile(path);
        ::unlinkat(created.parent.get(), created.name.constData(), 0);
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
                restoreFromBackup(replacements[done].path, hadPrevious[done]);
            throw;
        }
    }
}

} // namespace orvalink
