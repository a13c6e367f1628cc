#pragma once

#include "platform/UniqueFd.h"

#include <QString>

namespace orvalink::platform {

// Takes an exclusive flock(2) on the regular file at `path`, creating it with mode 0600 when it is
// missing; the lock lasts as long as the answered descriptor and dies with the process.
//
// What stands at the path is neither followed nor waited on (O_NOFOLLOW | O_NONBLOCK), and nothing is
// read from it: a symbolic link, a folder, a FIFO, a socket or a device is refused, and so is a file
// that belongs to another user. With `wait` the call waits for the lock's holder; without it, it
// answers an invalid descriptor while another holds the lock. A holder may remove the file before
// it lets go: a lock taken on a file that no longer stands at the path is dropped and taken anew.
//
// Throws UnsuitableFileError (see readRegularFile; EPERM for a file of another user), or
// PlatformError for any other failure (EACCES when the file cannot be opened).
UniqueFd lockFile(const QString& path, bool wait);

} // namespace orvalink::platform
