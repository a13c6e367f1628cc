#pragma once

#include "model/VolumeInfo.h"
#include "viewmodel/flow/FlowTicket.h"
#include "viewmodel/state/BilingualText.h"
#include "viewmodel/state/ListingOptions.h"
#include "viewmodel/texts/PresentationPrivacy.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace orvalink {

class ActivityState;
class BrowsingState;
struct PlatformHooks;

// Texts in the chosen language and what presentation privacy shows, built from the settings in
// force at the moment of each call (a language or privacy switch applies to the next text). Also
// the two desktop actions on a path, which report in the info and error lines. Main thread only.
//
// The folders privacy hides (the home folder, the login name, the volumes folder: a password-database
// lookup and a few stats) are looked up once when privacy is switched on and again at each new list
// of volumes, not at every shown name.
class Presentation : public QObject {
    Q_OBJECT

public:
    // Where the folders that privacy hides come from (tests count the look-ups).
    using LocationsLookup = std::function<PrivacyLocations()>;

    Presentation(const BrowsingState& browsing, ActivityState& activity, const PlatformHooks& platform,
                 LocationsLookup lookUpLocations = &PrivacyLocations::current);

    // Replaces where the folders that privacy hides come from (the guide's demo data stands for a
    // home and a volumes folder of its own); with privacy on they are looked up again at once.
    void setLocationsLookup(LocationsLookup lookUpLocations);

    // The language in force.
    UILanguage language() const;
    PresentationPrivacy presentationPrivacy() const;
    // A text in the language in force: the one place where a text of the window, a sheet or the
    // state object is put into one language.
    QString localized(const BilingualText& text) const;
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

Q_SIGNALS:
    // Every text may read differently: the language or presentation privacy changed, or, with
    // privacy on, the folders it hides.
    void textsChanged();

private:
    void settingsChanged();
    void volumesChanged();
    // While privacy is on: the locations afresh, announced when they differ.
    void lookUpLocationsAgain();

    const BrowsingState& m_browsing;
    ActivityState& m_activity;
    const PlatformHooks& m_platform;
    LocationsLookup m_lookUpLocations;
    // The language and privacy switch of the texts last announced.
    UILanguage m_language;
    bool m_privacyEnabled;
    // Looked up while privacy is on; empty while it is off.
    PrivacyLocations m_locations;
    // Reveals still waiting for the file manager report only while this object lives.
    FlowTicketSource m_reveals;
};

} // namespace orvalink
