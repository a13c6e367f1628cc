#pragma once

#include <QString>

namespace orvalink {

// This computer's device fingerprint in "device_id.txt": made once as a random lower-case UUID and
// then read back unchanged, so the account service can tell the user's computers apart. The file
// is written with mode 0600 whatever the umask.
class DeviceIdentityStore {
public:
    explicit DeviceIdentityStore(QString filePath);

    const QString& filePath() const { return m_filePath; }

    // The stored text trimmed of white space (any non-blank UTF-8 text is accepted as it is); when
    // the file is missing, unreadable, not UTF-8 or blank, a new version-4 UUID in lower case is
    // written atomically (without a line end) and returned. Throws platform::PlatformError when the
    // directories or the new file cannot be written.
    QString currentFingerprint() const;

private:
    QString m_filePath;
};

} // namespace orvalink
