#pragma once

#include "model/VolumeInfo.h"
#include "viewmodel/browsing/ListingOptions.h"
#include "viewmodel/flow/FlowTicket.h"
#include "viewmodel/texts/Localizer.h"
#include "viewmodel/texts/PresentationPrivacy.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace orvalink {

class ActivityState;
class BrowsingState;
struct PlatformHooks;

// Texts in the chosen language and what presentation privacy shows, built from the settings in
// force at the moment of each call (a language or privacy switch applies to the next text). Also
// the two desktop actions on a path, which report in the info and error lines. Main thread only.
class Presentation {
public:
    Presentation(const BrowsingState& browsing, ActivityState& activity, const PlatformHooks& platform);

    Localizer localizer() const;
    PresentationPrivacy presentationPrivacy() const;
    QString localized(const QString& zh, const QString& en) const;
    QString displayPath(const QString& path) const;
    QString displayName(const QString& path) const;
    QString displayVolumeName(const VolumeInfo& volume, int index) const;
    QString formatDate(const QDateTime& date) const;
    std::optional<QString> currentDirectoryContainersNoticeText() const;
    QString displayEmail(const QString& email) const;
    QString sanitizedForPresentation(const QString& text) const;
    QString sortTitle(SortOption option) const;
    QString fileTypeTitle(FileTypeFilter filter) const;

    // The path as given (neither standardized nor masked) onto the clipboard; blank does nothing.
    void copyPathToClipboard(const QString& path);
    // Shows the item in the file manager; a path that does not exist is reported instead, and so is,
    // in the info line, a reveal no file manager answered.
    void revealInFileManager(const QString& path);

private:
    const BrowsingState& m_browsing;
    ActivityState& m_activity;
    const PlatformHooks& m_platform;
    // Reveals still waiting for the file manager report only while this object lives.
    FlowTicketSource m_reveals;
};

} // namespace orvalink
