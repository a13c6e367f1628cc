// MainViewModel: texts, presentation privacy, storage and progress figures. Everything here reads
// the published values at the moment of the call and keeps nothing.

#include "platform/MountTable.h"
#include "platform/StandardPath.h"
#include "platform/UserLocations.h"
#include "viewmodel/BrowsingTexts.h"
#include "viewmodel/ListingOptions.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/MigrationProgress.h"
#include "viewmodel/StorageFigures.h"

#include <QFileInfo>

namespace orvalink {

namespace {

MigrationProgress progressOf(const MainViewModel& viewModel)
{
    return MigrationProgress{viewModel.migrationTotalItems(),
                             viewModel.migrationProcessedItems(),
                             viewModel.migrationTotalBytes(),
                             viewModel.migrationProcessedBytes(),
                             viewModel.migrationCurrentPath(),
                             viewModel.isMigrating(),
                             viewModel.isUndoing()};
}

} // namespace

Localizer MainViewModel::localizer() const
{
    return Localizer(config().uiLanguage);
}

PresentationPrivacy MainViewModel::presentationPrivacy() const
{
    return PresentationPrivacy(config().presentationPrivacyEnabled, PrivacyLocations::current(), localizer());
}

QString MainViewModel::localized(const QString& zh, const QString& en) const
{
    return localizer().localized(zh, en);
}

QString MainViewModel::displayPath(const QString& path) const
{
    return presentationPrivacy().displayPath(path);
}

QString MainViewModel::displayName(const QString& path) const
{
    return presentationPrivacy().displayName(path);
}

QString MainViewModel::displayVolumeName(const VolumeInfo& volume, int index) const
{
    return presentationPrivacy().displayVolumeName(volume, index);
}

QString MainViewModel::formatDate(const QDateTime& date) const
{
    return orvalink::formatDate(date);
}

std::optional<QString> MainViewModel::currentDirectoryContainersNoticeText() const
{
    return orvalink::currentDirectoryContainersNoticeText(currentDirectoryPath(), platform::homeDirectory(),
                                                          localizer());
}

QString MainViewModel::displayEmail(const QString& email) const
{
    return presentationPrivacy().displayEmail(email);
}

QString MainViewModel::sanitizedForPresentation(const QString& text) const
{
    return presentationPrivacy().sanitizedForPresentation(text);
}

void MainViewModel::copyPathToPasteboard(const QString& path)
{
    // The path as given: neither standardized nor masked.
    const QString trimmed = path.trimmed();
    if (trimmed.isEmpty() || !m_platform.clipboard)
        return;
    m_platform.clipboard->setText(trimmed);
    setInfoMessage(pathCopiedText(localizer()));
}

void MainViewModel::revealInFinder(const QString& path)
{
    const std::optional<QString> target = revealTargetPath(path);
    if (!target)
        return;
    if (!QFileInfo::exists(*target)) {
        setErrorMessage(pathDoesNotExistText(localizer(), *target));
        return;
    }
    if (m_platform.fileRevealer)
        m_platform.fileRevealer->reveal(*target);
}

QString MainViewModel::sortTitle(SortOption option) const
{
    return orvalink::sortTitle(localizer(), option);
}

QString MainViewModel::fileTypeTitle(FileTypeFilter filter) const
{
    return orvalink::fileTypeTitle(localizer(), filter);
}

QList<VolumeInfo> MainViewModel::externalVolumes() const
{
    return orvalink::externalVolumes(availableVolumes());
}

QString MainViewModel::targetVolumeStatus() const
{
    // Mounted means a file system is really mounted at the mount point, not merely that a folder
    // of that name exists.
    const QString root = effectiveTargetRoot();
    const auto mountPoint = m_parts.volumeService->mountPoint(root);
    const bool mounted = mountPoint && platform::MountTable::current().mountedAt(*mountPoint).has_value();
    return orvalink::targetVolumeStatus(localizer(), mounted, m_parts.volumeService->availableBytes(root));
}

double MainViewModel::systemVolumeUsageRatio() const
{
    return volumeUsageRatio(systemVolumeTotalBytes(), systemVolumeFreeBytes());
}

double MainViewModel::targetVolumeUsageRatio() const
{
    return volumeUsageRatio(targetVolumeTotalBytes(), targetVolumeFreeBytes());
}

double MainViewModel::selectedInDirectoryRatio() const
{
    return orvalink::selectedInDirectoryRatio(currentDirectorySizeBytes(), selectedSizeBytes());
}

double MainViewModel::migrationItemProgressRatio() const
{
    return progressOf(*this).itemRatio();
}

double MainViewModel::migrationByteProgressRatio() const
{
    return progressOf(*this).byteRatio();
}

QString MainViewModel::migrationItemProgressPercentText() const
{
    return progressOf(*this).itemPercentText();
}

QString MainViewModel::migrationByteProgressPercentText() const
{
    return progressOf(*this).bytePercentText();
}

QString MainViewModel::migrationProgressCountText() const
{
    return progressOf(*this).countText();
}

QString MainViewModel::migrationProgressBytesText() const
{
    return progressOf(*this).bytesText();
}

QString MainViewModel::migrationCurrentItemName() const
{
    return progressOf(*this).currentItemName(localizer());
}

bool MainViewModel::shouldShowMigrationProgress() const
{
    return progressOf(*this).shouldShow();
}

} // namespace orvalink
