#include "viewmodel/texts/Presentation.h"

#include "platform/UserLocations.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/BrowsingState.h"
#include "viewmodel/state/PlatformHooks.h"
#include "viewmodel/texts/BrowsingTexts.h"

#include <QFileInfo>

namespace orvalink {

Presentation::Presentation(const BrowsingState& browsing, ActivityState& activity,
                           const PlatformHooks& platform)
    : m_browsing(browsing), m_activity(activity), m_platform(platform)
{}

Localizer Presentation::localizer() const
{
    return Localizer(m_browsing.config().uiLanguage);
}

PresentationPrivacy Presentation::presentationPrivacy() const
{
    // Rows ask for every shown name: the locations (home, volumes folder, login name) are only
    // looked up while privacy is on, the only time they are used.
    const bool enabled = m_browsing.config().presentationPrivacyEnabled;
    return PresentationPrivacy(enabled, enabled ? PrivacyLocations::current() : PrivacyLocations(),
                               localizer());
}

QString Presentation::localized(const QString& zh, const QString& en) const
{
    return localizer().localized(zh, en);
}

QString Presentation::displayPath(const QString& path) const
{
    return presentationPrivacy().displayPath(path);
}

QString Presentation::displayName(const QString& path) const
{
    return presentationPrivacy().displayName(path);
}

QString Presentation::displayVolumeName(const VolumeInfo& volume, int index) const
{
    return presentationPrivacy().displayVolumeName(volume, index);
}

QString Presentation::formatDate(const QDateTime& date) const
{
    return orvalink::formatDate(date);
}

std::optional<QString> Presentation::currentDirectoryContainersNoticeText() const
{
    return orvalink::currentDirectoryContainersNoticeText(m_browsing.currentDirectoryPath(),
                                                          platform::homeDirectory(), localizer());
}

QString Presentation::displayEmail(const QString& email) const
{
    return presentationPrivacy().displayEmail(email);
}

QString Presentation::sanitizedForPresentation(const QString& text) const
{
    return presentationPrivacy().sanitizedForPresentation(text);
}

void Presentation::copyPathToClipboard(const QString& path)
{
    // The path as given: neither standardized nor masked.
    const QString trimmed = path.trimmed();
    if (trimmed.isEmpty() || !m_platform.clipboard)
        return;
    m_platform.clipboard->setText(trimmed);
    m_activity.setInfoMessage(pathCopiedText(localizer()));
}

void Presentation::revealInFileManager(const QString& path)
{
    const std::optional<QString> target = revealTargetPath(path);
    if (!target)
        return;
    if (!QFileInfo::exists(*target)) {
        m_activity.setErrorMessage(pathDoesNotExistText(localizer(), *target));
        return;
    }
    if (!m_platform.fileRevealer)
        return;
    // The answer may come after the window (and this object) went away.
    m_platform.fileRevealer->reveal(*target, [this, ticket = m_reveals.ticket(), shown = *target] {
        if (ticket.isAlive())
            m_activity.setInfoMessage(revealFailedText(localizer(), displayPath(shown)));
    });
}

QString Presentation::sortTitle(SortOption option) const
{
    return orvalink::sortTitle(localizer(), option);
}

QString Presentation::fileTypeTitle(FileTypeFilter filter) const
{
    return orvalink::fileTypeTitle(localizer(), filter);
}

} // namespace orvalink
