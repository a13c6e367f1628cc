#include "viewmodel/texts/Presentation.h"

#include "platform/UserLocations.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/BrowsingState.h"
#include "viewmodel/state/PlatformHooks.h"
#include "viewmodel/texts/BrowsingTexts.h"

#include <QFileInfo>

namespace orvalink {

Presentation::Presentation(const BrowsingState& browsing, ActivityState& activity,
                           const PlatformHooks& platform, LocationsLookup lookUpLocations)
    : m_browsing(browsing), m_activity(activity), m_platform(platform),
      m_lookUpLocations(std::move(lookUpLocations)), m_language(browsing.config().uiLanguage),
      m_privacyEnabled(browsing.config().presentationPrivacyEnabled)
{
    if (m_privacyEnabled)
        m_locations = m_lookUpLocations();
    // Connected before any part built later: every handler of a settings change already reads the
    // new locations.
    connect(&browsing, &BrowsingState::configChanged, this, &Presentation::settingsChanged);
    connect(&browsing, &BrowsingState::availableVolumesChanged, this, &Presentation::volumesChanged);
}

void Presentation::settingsChanged()
{
    const AppConfig& config = m_browsing.config();
    if (config.uiLanguage == m_language && config.presentationPrivacyEnabled == m_privacyEnabled)
        return;
    if (config.presentationPrivacyEnabled != m_privacyEnabled)
        m_locations = config.presentationPrivacyEnabled ? m_lookUpLocations() : PrivacyLocations();
    m_language = config.uiLanguage;
    m_privacyEnabled = config.presentationPrivacyEnabled;
    Q_EMIT textsChanged();
}

void Presentation::volumesChanged()
{
    // A new list of volumes may come with a volumes folder that was not there before.
    lookUpLocationsAgain();
}

void Presentation::setLocationsLookup(LocationsLookup lookUpLocations)
{
    m_lookUpLocations = std::move(lookUpLocations);
    lookUpLocationsAgain();
}

void Presentation::lookUpLocationsAgain()
{
    if (!m_privacyEnabled)
        return;
    PrivacyLocations locations = m_lookUpLocations();
    if (locations == m_locations)
        return;
    m_locations = std::move(locations);
    Q_EMIT textsChanged();
}

UILanguage Presentation::language() const
{
    return m_browsing.config().uiLanguage;
}

PresentationPrivacy Presentation::presentationPrivacy() const
{
    // Rows ask for every shown name: the locations were looked up when privacy was switched on. The
    // switch is the one they were looked up for, also to a reader of the settings' change that runs
    // before this object has seen it.
    return PresentationPrivacy(m_privacyEnabled, m_locations, language());
}

QString Presentation::localized(const BilingualText& text) const
{
    return text.in(language());
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
    const std::optional<BilingualText> notice = orvalink::currentDirectoryContainersNoticeText(
        m_browsing.currentDirectoryPath(), platform::homeDirectory());
    if (!notice)
        return std::nullopt;
    return localized(*notice);
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
    m_activity.setInfoMessage(pathCopiedText());
}

void Presentation::revealInFileManager(const QString& path)
{
    const std::optional<QString> target = revealTargetPath(path);
    if (!target)
        return;
    if (!QFileInfo::exists(*target)) {
        m_activity.setErrorMessage(pathDoesNotExistText(*target));
        return;
    }
    if (!m_platform.fileRevealer)
        return;
    // The answer may come after the window (and this object) went away.
    m_platform.fileRevealer->reveal(*target, [this, ticket = m_reveals.ticket(), shown = *target] {
        if (ticket.isAlive())
            m_activity.setInfoMessage(revealFailedText(displayPath(shown)));
    });
}

QString Presentation::sortTitle(SortOption option) const
{
    return localized(orvalink::sortTitle(option));
}

QString Presentation::fileTypeTitle(FileTypeFilter filter) const
{
    return localized(orvalink::fileTypeTitle(filter));
}

} // namespace orvalink
