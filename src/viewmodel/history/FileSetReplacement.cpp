#include "viewmodel/history/FileSetReplacement.h"

#include "platform/AtomicFileWriter.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"

#include <QFile>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace orvalink {

namespace {

QString backupPath(const QString& path)
{
    return path + QStringLiteral(".bak");
}

// Keeps the current file as its backup; false when there is no current file. A hard link keeps the
// old content without reading it (a file this process cannot read is still kept); where links are
// not possible the content is copied.
bool keepBackup(const QString& path)
{
    const QString backup = backupPath(path);
    QFile::remove(backup);
    if (!platform::entryExists(path))
        return false;
    std::error_code error;
    std::filesystem::create_hard_link(QFile::encodeName(path).toStdString(),
                                      QFile::encodeName(backup).toStdString(), error);
    if (error)
        platform::writeFileAtomically(backup, platform::readWholeFile(path), 0600);
    return true;
}

// Puts back what a replaced file held before.
void restoreFromBackup(const QString& path, bool hadPrevious)
{
    try {
        if (hadPrevious)
            platform::writeFileAtomically(path, platform::readWholeFile(backupPath(path)), 0600);
        else
            QFile::remove(path);
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
