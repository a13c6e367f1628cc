#include "diskops/RecordedPlaces.h"

#include "diskops/JournalCheck.h"
#include "diskops/OperationJournal.h"
#include "diskops/RecordedIdentity.h"
#include "platform/FileIO.h"
#include "platform/MountTable.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace orvalink {

namespace {

using platform::EntryIdentity;
using platform::VerifiedDirectory;

QString lastComponent(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString identityText(const EntryIdentity& identity)
{
    return QString::number(quint64(identity.device)) + QLatin1Char(':') +
           QString::number(quint64(identity.inode));
}

// The source's folder as the record knows it: reached through the user's own links only when the
// record keeps its identity, and then only that very folder.
VerifiedDirectory recordedSourceFolder(const JournalRecord& record, const QString& folder, bool toTheEnd)
{
    if (record.sourceFolderIdentity.isEmpty())
        return toTheEnd ? VerifiedDirectory::open(record.homeDirectory, folder)
                        : VerifiedDirectory::openDeepest(record.homeDirectory, folder);
    std::optional<VerifiedDirectory> reached;
    try {
        reached =
            VerifiedDirectory::open(record.homeDirectory, folder, VerifiedDirectory::Links::ownFollowed);
    } catch (const platform::PlatformError& error) {
        if (error.errorNumber() != ENOENT && error.errorNumber() != ENOTDIR)
            throw;
        throw platform::PlatformError(
            ESTALE, QStringLiteral("the folder of the source cannot be reached now: ") + folder);
    }
    if (entryIdentityOf(record.sourceFolderIdentity) != reached->identity())
        throw platform::PlatformError(
            ESTALE,
            QStringLiteral("the folder of the source is not the one the operation worked in: ") + folder);
    return std::move(*reached);
}

QString volumesFolder(const JournalRecord& record)
{
    const std::optional<QString> folder = volumesFolderHolding(record.targetRoot);
    if (!folder)
        throw platform::PlatformError::fromErrno(ENOENT, record.targetRoot);
    return *folder;
}

// The directories passed from below the volumes folder down to the target's folder, and the target
// itself where they reach it.
QList<VerifiedDirectory::Step> targetSteps(const JournalRecord& record, const VerifiedDirectory& folder)
{
    QList<VerifiedDirectory::Step> steps = folder.steps().mid(1);
    if (folder.path() == platform::parentPath(record.targetPath)) {
        if (const auto target = folder.entry(lastComponent(record.targetPath)))
            steps.append(*target);
    }
    return steps;
}

std::optional<QString> overlapProblem(const JournalRecord& record, const VerifiedDirectory& sourceFolder,
                                      const VerifiedDirectory& targetFolder)
{
    QList<EntryIdentity> sourceSide = sourceFolder.lineage();
    std::optional<EntryIdentity> source;
    if (sourceFolder.path() == platform::parentPath(record.sourcePath)) {
        if (const auto item = sourceFolder.entry(lastComponent(record.sourcePath)))
            source = item->identity;
    }
    if (source)
        sourceSide.append(*source);
    for (const VerifiedDirectory::Step& step : targetSteps(record, targetFolder)) {
        if (sourceSide.contains(step.identity))
            return QStringLiteral("the target side leads to the source or a folder above it: ") + step.path;
    }
    if (source && targetFolder.lineage().contains(*source))
        return QStringLiteral("the target lies inside the source: ") + record.targetPath;
    return std::nullopt;
}

// Below the folder the record knows the target root by, everything was made by the operation on
// that folder's file system: another device or mount there is a folder mounted over the way. One
// on the target path itself, or one under which nothing stands at the target path, hides what the
// operation made there: the places cannot be looked at until it goes (PlatformError).
std::optional<QString> volumeProblem(const JournalRecord& record, const VerifiedDirectory& targetFolder)
{
    const QString anchor = targetAnchorPath(record);
    const QList<VerifiedDirectory::Step> steps = targetSteps(record, targetFolder);
    const auto anchorStep =
        std::find_if(steps.cbegin(), steps.cend(),
                     [&](const VerifiedDirectory::Step& step) { return step.path == anchor; });
    for (auto step = anchorStep == steps.cend() ? steps.cend() : anchorStep + 1; step != steps.cend();
         ++step) {
        if (step->identity.device == anchorStep->identity.device && step->mountId == anchorStep->mountId)
            continue;
        if (step->path == record.targetPath)
            throw platform::PlatformError(
                EBUSY, QStringLiteral("a file system is mounted on the target path itself: ") + step->path);
        if (steps.constLast().path != record.targetPath)
            throw platform::PlatformError(EBUSY, QStringLiteral("a file system mounted at ") + step->path +
                                                     QStringLiteral(" hides the target path: ") +
                                                     record.targetPath);
        return QStringLiteral("the target path leaves the file system of its root: ") + step->path;
    }
    return std::nullopt;
}

// A forced restore sets aside only what it found at the source itself, and a link there is never
// that (the data replaces a link in one step): the entry the record names as the occupant, at the
// source or where it was set aside, is no link, and no file where it is to be merged as a folder.
// Otherwise the record would have the recovery move whatever that link leads to.
std::optional<QString> occupantProblem(const JournalRecord& record, const VerifiedDirectory& sourceFolder)
{
    if (record.occupantIdentity.isEmpty() || sourceFolder.path() != platform::parentPath(record.sourcePath))
        return std::nullopt;
    for (const QString& path : {record.sourcePath, record.occupantPath}) {
        if (path.isEmpty() || platform::parentPath(path) != sourceFolder.path())
            continue;
        const std::optional<EntryLook> look =
            lookAtEntry(sourceFolder.fd(), QFile::encodeName(lastComponent(path)));
        if (!look || look->identity != record.occupantIdentity)
            continue;
        if (S_ISLNK(look->type))
            return QStringLiteral("what stood at the source is a symbolic link: ") + path;
        if (record.occupantMerge && !S_ISDIR(look->type))
            return QStringLiteral("what stood at the source is to be merged but is no folder: ") + path;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> placesProblem(const JournalRecord& record)
{
    try {
        const VerifiedDirectory sourceFolder =
            recordedSourceFolder(record, platform::parentPath(record.sourcePath), false);
        if (const auto problem = occupantProblem(record, sourceFolder))
            return problem;
        std::optional<VerifiedDirectory> targetFolder;
        try {
            targetFolder = VerifiedDirectory::openDeepest(volumesFolder(record),
                                                          platform::parentPath(record.targetPath));
        } catch (const platform::PlatformError& error) {
            if (error.errorNumber() != ENOENT)
                throw;
            return std::nullopt; // no volumes folder yet (none was mounted since the start): nothing there
        }
        if (const auto problem = overlapProblem(record, sourceFolder, *targetFolder))
            return problem;
        return volumeProblem(record, *targetFolder);
    } catch (const platform::PlatformError& error) {
        if (error.errorNumber() != ELOOP)
            throw;
        return QStringLiteral("a symbolic link stands on the way to a recorded path (") +
               QString::fromUtf8(error.what()) + QLatin1Char(')');
    }
}

std::optional<QString> recordProblem(const JournalRecord& record)
{
    if (std::optional<QString> problem = journalProblem(record))
        return problem;
    return placesProblem(record);
}

VerifiedDirectory sourceSideFolder(const JournalRecord& record, const QString& path)
{
    return recordedSourceFolder(record, platform::parentPath(path), true);
}

QString sourceFolderIdentityOf(const QString& homeDirectory, const QString& sourcePath)
{
    try {
        return identityText(VerifiedDirectory::open(homeDirectory, platform::parentPath(sourcePath),
                                                    VerifiedDirectory::Links::ownFollowed)
                                .identity());
    } catch (const platform::PlatformError&) {
        return QString();
    }
}

bool targetHiddenByMount(const JournalRecord& record)
{
    const std::optional<QString> volumes = volumesFolderHolding(record.targetRoot);
    if (!volumes || platform::entryExists(record.targetPath))
        return false;
    // The volume's own mount, and another over it.
    const platform::MountTable table = platform::MountTable::current();
    const auto& mounts = table.entries();
    return std::count_if(mounts.cbegin(), mounts.cend(), [&](const platform::MountEntry& mount) {
               return mount.mountPoint != *volumes &&
                      platform::isSameOrDescendant(mount.mountPoint, *volumes) &&
                      platform::isSameOrDescendant(record.targetPath, mount.mountPoint);
           }) >= 2;
}

VerifiedDirectory targetSideFolder(const JournalRecord& record, const QString& path)
{
    return VerifiedDirectory::open(volumesFolder(record), platform::parentPath(path));
}

} // namespace orvalink
