#include "diskops/RecordedPlaces.h"

#include "diskops/JournalCheck.h"
#include "diskops/OperationJournal.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"

#include <algorithm>
#include <cerrno>

namespace orvalink {

namespace {

using platform::EntryIdentity;
using platform::VerifiedDirectory;

QString lastComponent(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
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
// that folder's file system: another device or mount there is a folder mounted over the way.
std::optional<QString> volumeProblem(const JournalRecord& record, const VerifiedDirectory& targetFolder)
{
    const QString anchor = targetAnchorPath(record);
    const QList<VerifiedDirectory::Step> steps = targetSteps(record, targetFolder);
    const auto anchorStep =
        std::find_if(steps.cbegin(), steps.cend(),
                     [&](const VerifiedDirectory::Step& step) { return step.path == anchor; });
    for (auto step = anchorStep == steps.cend() ? steps.cend() : anchorStep + 1; step != steps.cend();
         ++step) {
        if (step->identity.device != anchorStep->identity.device || step->mountId != anchorStep->mountId)
            return QStringLiteral("the target path leaves the file system of its root: ") + step->path;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> placesProblem(const JournalRecord& record)
{
    try {
        const VerifiedDirectory sourceFolder =
            VerifiedDirectory::openDeepest(record.homeDirectory, platform::parentPath(record.sourcePath));
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

VerifiedDirectory sourceSideFolder(const JournalRecord& record, const QString& path)
{
    return VerifiedDirectory::open(record.homeDirectory, platform::parentPath(path));
}

VerifiedDirectory targetSideFolder(const JournalRecord& record, const QString& path)
{
    return VerifiedDirectory::open(volumesFolder(record), platform::parentPath(path));
}

} // namespace orvalink
