#pragma once

#include <QString>
#include <optional>

namespace orvalink::platform {

// Whether the program at `path` may be run by this process: whether only root or this user could
// have put it there or changed it. The path is resolved as exec would resolve it (links followed);
// the program and every folder above it, up to "/", must then be owned by root or the effective
// user and writable by nobody else: no write permission for group or others, except on a folder
// with the sticky bit (such as /tmp), in which nobody else can rename or remove what root or this
// user put there. The program must be a regular file this user may execute. Answers the resolved
// path, which is what the caller runs; none when anything fails the check or cannot be looked at.
std::optional<QString> trustedProgram(const QString& path);

} // namespace orvalink::platform
