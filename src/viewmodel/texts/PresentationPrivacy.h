#pragma once

#include "model/VolumeInfo.h"
#include "viewmodel/state/BilingualText.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace orvalink {

// The folders whose names presentation privacy hides, all in standard form.
struct PrivacyLocations {
    QString homeDirectory;
    // The folder of home folders (the parent of the home directory); none when that is "/".
    std::optional<QString> usersDirectory;
    // Where external volumes are mounted.
    QString volumesDirectory;
    // The login name, which the volumes directory may carry ("/media/<user>"); empty when unknown.
    QString userName;

    // From a home and a volumes directory; the users directory is the home's parent.
    static PrivacyLocations of(const QString& homeDirectory, const QString& volumesDirectory,
                               const QString& userName = QString());
    // The current user's folders and login name, read afresh.
    static PrivacyLocations current();

    // `path` (in standard form) with the login name hidden where the path names the volumes
    // directory, lies below it or names one of its parents: "/media/alice/Disk" reads
    // "/media/demo/Disk". Any other path comes back unchanged.
    QString hidingUserName(const QString& path) const;

    // The folders whose direct children are user folders or volumes: this system's own ones and the
    // macOS spellings "/Users" and "/Volumes", which show up in texts from other machines.
    QStringList userFolderParents() const;
    QStringList volumeParents() const;

    bool operator==(const PrivacyLocations&) const = default;
};

// How paths, names, volumes and addresses are shown. While privacy is off every operation only
// trims (or returns its argument); while it is on the home directory shows as "~", other user
// folders as "demo", volume names as "ExternalDisk" (in paths) or the external-disk name, the
// login name in the volumes directory ("/media/alice") as "demo", and e-mail addresses in a
// shortened masked form. Only what is shown changes: never pass the result to a disk operation or
// the clipboard.
class PresentationPrivacy {
public:
    // `language` is the setting the external-disk names are shown in.
    PresentationPrivacy(bool enabled, PrivacyLocations locations, UILanguage language);

    bool isEnabled() const { return m_enabled; }

    // The trimmed path; with privacy on an absolute path is standardized and masked, the home
    // directory also where it stands inside the path.
    QString displayPath(const QString& path) const;
    // The short name of an entry: the last path component, with the home directory, a user folder
    // and a volume root masked while privacy is on. "/" stays "/".
    QString displayName(const QString& path) const;
    // The volume's own name, or the external-disk name numbered by its 1-based `index` in the shown
    // list.
    QString displayVolumeName(const VolumeInfo& volume, int index) const;
    // The trimmed address, or two leading characters, "***@", the first character of the domain's
    // first label, "***." and the rest of the domain. A text that is not local part, "@", domain
    // gives placeholderEmail().
    QString displayEmail(const QString& email) const;
    // Free text with the home directory (only where a path component ends; "~" where a path starts
    // with it, the masked user folder inside another path), user folders, volume names and e-mail
    // addresses masked.
    QString sanitizedForPresentation(const QString& text) const;

    // The reserved, non-routable address shown for a malformed one.
    static QString placeholderEmail();

private:
    QString externalDiskName() const;
    // The folders whose children are volumes, as shown (without the login name).
    QStringList shownVolumeParents() const;
    // The home directory as shown where it stands inside another path: "/home/demo".
    QString maskedHomeDirectory() const;
    // The home directory as "~" where a path starts with it, as maskedHomeDirectory() inside one.
    QString replacingHomeDirectory(const QString& text) const;
    QString maskingEmailAddresses(const QString& text) const;

    bool m_enabled;
    PrivacyLocations m_locations;
    UILanguage m_language;
};

} // namespace orvalink
