#include "diskops/PrivilegeFallback.h"

#include "diskops/PrivilegedFileOperationError.h"
#include "platform/PlatformError.h"

namespace orvalink {

bool shouldUsePrivilegeFallback(const std::exception& error)
{
    const auto* platformError = dynamic_cast<const platform::PlatformError*>(&error);
    return platformError && platformError->isPermissionError();
}

void runWithPrivilegeFallback(const std::function<void()>& userAttempt,
                              const std::function<void()>& privilegedAttempt)
{
    std::exception_ptr first;
    try {
        userAttempt();
        return;
    } catch (const std::exception& error) {
        if (!shouldUsePrivilegeFallback(error))
            throw;
        first = std::current_exception();
    }
    try {
        privilegedAttempt();
    } catch (PrivilegedFileOperationError& refused) {
        refused.setFailureWithoutAdministrator(first);
        throw;
    }
}

} // namespace orvalink
