#pragma once

#include <QString>
#include <optional>

namespace orvalink::platform {

// Whether `path` is a folder only this user can enter: a real directory (not a link to one) owned
// by the effective user, without any permission for group or others (lstat).
bool isPrivateDirectory(const QString& path);

// A private directory (see above) in which this user can also create files: not on a read-only
// file system, and with write and search permission for its owner.
bool isUsablePrivateDirectory(const QString& path);

// $XDG_RUNTIME_DIR when it is set, absolute, private and usable; none otherwise.
std::optional<QString> userRuntimeDirectory();

// "orvalink-<uid>" in the temporary folder, created with mode 0700 and then checked like any
// other: none when it fails the check (another user made it first, or it cannot be written, say).
std::optional<QString> privateTemporaryDirectory();

// A folder for this user's sockets that no other user can enter or plant anything in: the user's
// runtime folder, else our private temporary one; none when neither passes, and the caller then
// has no safe place.
std::optional<QString> privateRuntimeDirectory();

} // namespace orvalink::platform
