#pragma once

#include <exception>
#include <functional>

namespace orvalink {

// True when a failed file operation deserves one second attempt with administrator rights: a
// platform::PlatformError with EACCES or EPERM, on itself or on the error it wraps (one level only).
bool shouldUsePrivilegeFallback(const std::exception& error);

// Runs `userAttempt`; when it throws an error that passes shouldUsePrivilegeFallback, runs
// `privilegedAttempt` once and lets its outcome stand (its error replaces the first, which a refused
// administrator's command keeps, see PrivilegedFileOperationError). Any other error
// of the first attempt is rethrown unchanged, without an authorization dialog.
void runWithPrivilegeFallback(const std::function<void()>& userAttempt,
                              const std::function<void()>& privilegedAttempt);

} // namespace orvalink
