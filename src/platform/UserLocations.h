#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <sys/types.h>

namespace orvalink::platform {

// $HOME, read afresh on every call (the password database when it is unset).
QString homeDirectory();

// Login name of the effective user.
QString userName();

// Login name of the user `uid`; its number when the user database has no name for it.
QString userNameOf(uid_t uid);

// The directory named by an environment variable: none when unset or blank, else the value trimmed
// of whitespace and in standard form (no "~" expansion, no existence check).
std::optional<QString> environmentOverrideDirectory(const char* variable);

// The value of an environment variable trimmed of whitespace; none when unset or blank.
std::optional<QString> trimmedEnvironmentValue(const char* variable);

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
QString xdgDataHome();

// $XDG_STATE_HOME when it is an absolute path, else ~/.local/state.
QString xdgStateHome();

} // namespace orvalink::platform

namespace orvalink::platform {

// Where removable volumes are mounted (the counterpart of "/Volumes"): ORVALINK_VOLUMES_DIR when
// set and not blank, else /media/$USER when it exists, else /run/media/$USER when it exists,
// else /media. Read afresh on every call.
QString volumesDirectory();

// Every folder volumesDirectory() may answer, whether it exists now or not: ORVALINK_VOLUMES_DIR
// alone when set, else /media/$USER, /run/media/$USER and /media. A folder under /run/media is
// gone after a restart until the first volume is mounted.
QStringList volumesDirectoryCandidates();

} // namespace orvalink::platform
