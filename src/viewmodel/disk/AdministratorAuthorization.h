#pragma once

#include "platform/CommandRunner.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <exception>
#include <memory>

namespace orvalink {

class ActivityState;
class DiskWorkContext;
class Presentation;

// True for a failure that administrator rights could overcome: any refused administrator command,
// a permission refusal of the disk operations (also as the cause of a failed rollback), and a
// platform error with EACCES or EPERM (an error without an errno is judged by the one it wraps).
bool requiresAdministratorAuthorization(const std::exception_ptr& error);

// For such a failure: publishes the access-requirement prompt for the action, naming `path`, the
// path it needs the rights for (shown as `texts` shows paths), and returns true; otherwise changes
// nothing and returns false. The status line is the caller's: it says how the action ended.
bool handleAdministratorAuthorizationRequirementIfNeeded(ActivityState& activity, const Presentation& texts,
                                                         const std::exception_ptr& error,
                                                         const QString& actionCN, const QString& actionEN,
                                                         const QString& path);

// Checks that the user can authorize one harmless command ("/bin/true"); leaves no authorization
// behind. One check at a time; never throws.
QCoro::Task<> requestAdministratorAuthorization(DiskWorkContext& context);

// Runs the check through `runner` (pkexec when none). Blocking; throws PlatformError with the
// exit status and the trimmed error output ("Authorization rejected" when blank) on refusal.
void verifyAdministratorAuthorization(const std::shared_ptr<platform::CommandRunner>& runner);

} // namespace orvalink
