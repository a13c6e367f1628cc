#include "viewmodel/history/FileSetReplacement.h"

#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
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

platform::PlatformError failureOf(const QFileDevice& file, const QString& path)
{
    return platform::PlatformError(errno != 0 ? errno : EIO,
                                   file.errorString() + QStringLiteral(": ") + path);
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

std::unique_ptr<QSaveFile> staged(const FileReplacement& replacement)
{
    platform::createDirectories(platform::parentPath(replacement.path));
    auto file = std::make_unique<QSaveFile>(replacement.path);
    errno = 0;
    if (!file->open(QIODevice::WriteOnly))
        throw failureOf(*file, replacement.path);
    if (!file->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw failureOf(*file, replacement.path);
    errno = 0;
    if (file->write(replacement.content) != replacement.content.size() || !file->flush())
        throw failureOf(*file, replacement.path);
    return file;
}

} // namespace

void replaceFilesTogether(const QList<FileReplacement>& replacements)
{
    std::vector<bool> hadPrevious;
    for (const FileReplacement& replacement : replacements)
        hadPrevious.push_back(keepBackup(replacement.path));

    // Unfinished temporary files are discarded when these go out of scope.
    std::vector<std::unique_ptr<QSaveFile>> files;
    for (const FileReplacement& replacement : replacements)
        files.push_back(staged(replacement));

    for (size_t index = 0; index < files.size(); ++index) {
        errno = 0;
        if (files[index]->commit())
            continue;
        const platform::PlatformError failure = failureOf(*files[index], replacements[index].path);
        for (size_t done = 0; done < index; ++done)
            restoreFromBackup(replacements[done].path, hadPrevious[done]);
        throw failure;
    }
    for (const FileReplacement& replacement : replacements)
        platform::syncDirectory(platform::parentPath(replacement.path));
}

} // namespace orvalink
